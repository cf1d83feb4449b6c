#include "gui/splash.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/dialogs.h"

namespace {
// The bar turns a quarter every 0.2 s; the panel opens on the first text.
constexpr const char *kInitializing[] = {"Initializing -", "Initializing \\", "Initializing |", "Initializing /"};
constexpr int kAnimationMilliseconds = 200;
}  // namespace

Splash::Splash(QWidget *parent) : QWidget(parent)
{
    setObjectName("START");
    setWindowTitle(kWindowTitle);
    message = new QLabel(kInitializing[0], this);
    message->setObjectName("TEXTMSG");
    message->setAlignment(Qt::AlignCenter);
    QFont font = message->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    message->setFont(font);
    quit = new QPushButton("Quit", this);
    quit->setObjectName("BUTTON_QUIT");
    quit->setVisible(false);
    connect(quit, &QPushButton::clicked, this, &Splash::quitRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(message);
    layout->addWidget(quit, 0, Qt::AlignHCenter);
    layout->addStretch();
    fitSize();

    timer = new QTimer(this);
    timer->setInterval(kAnimationMilliseconds);
    connect(timer, &QTimer::timeout, this, &Splash::step);
    timer->start();
}

void Splash::step()
{
    stepIndex = (stepIndex + 1) % 4;
    message->setText(kInitializing[stepIndex]);
}

void Splash::stopAnimation() { timer->stop(); }

void Splash::refuseScreen()
{
    stopAnimation();
    message->setText("Minimum resolution required: 1024x720");
    message->setStyleSheet("color: rgb(255, 0, 0);");
    quit->setVisible(true);
    fitSize();
}

// The designed size, or more when a large font needs it for the text shown.
void Splash::fitSize() { setFixedSize(sizeHint().expandedTo(QSize(420, 160))); }
