#pragma once
// The About panel ABOUT: what the program is, its terms and where to write, with a Close button
// that brings the main panel back.

#include <QWidget>

class AboutPanel : public QWidget {
    Q_OBJECT
public:
    explicit AboutPanel(QWidget *parent = nullptr);

signals:
    void closeRequested();
};

// The program's picture: an I and a Q wave in their trace colours, `size` pixels square.
QPixmap LogoPixmap(int size, qreal devicePixelRatio);
