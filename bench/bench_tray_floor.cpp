// SPDX-License-Identifier: MIT
// The floor for bench_startup: the least a Qt tray program does, a
// QApplication with a notification-area icon and one small label window. It
// writes "first paint" to standard error when the label is first painted.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstdio>

namespace {

class FloorLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!FPainted) {
            FPainted = true;
            std::fputs("first paint\n", stderr);
            std::fflush(stderr);
        }
    }

private:
    bool FPainted = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPixmap pixmap(24, 24);
    pixmap.fill(QColor(0x70, 0x80, 0x90));
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    FloorLabel label(QStringLiteral("45 GB disponibles de 237 GB"));
    label.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    label.resize(339, 58);
    label.show();
    return QApplication::exec();
}
