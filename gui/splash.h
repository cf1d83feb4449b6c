#pragma once
// The splash panel START: "Initializing" with a turning bar while the session starts, or the
// refusal of a screen that is too small, with a Quit button.

#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;

class Splash : public QWidget {
    Q_OBJECT
public:
    explicit Splash(QWidget *parent = nullptr);

    // Stops the animation and shows the minimum resolution in red with the Quit button.
    void refuseScreen();
    void stopAnimation();

signals:
    void quitRequested();

private:
    void step();
    void fitSize();

    QLabel *message;
    QPushButton *quit;
    QTimer *timer;
    int stepIndex = 0;
};
