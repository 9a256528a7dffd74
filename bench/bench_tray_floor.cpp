// SPDX-License-Identifier: MIT
// The floor for bench_startup: the least a Qt tray program does, a
// QApplication with a notification-area icon and one small label window. It
// writes "first paint" to standard error when the label is first painted.
// With --tick-ms N (the floor of bench_idle) one timer rewrites the label
// every N milliseconds, as a widget refreshing its figures does.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

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
    QTimer tick;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--tick-ms")); at >= 0 && at + 1 < args.size()) {
        int count = 0;
        QObject::connect(&tick, &QTimer::timeout, &label, [&label, &count] {
            label.setText(QStringLiteral("45 GB disponibles de 237 GB (%1)").arg(++count));
        });
        tick.start(args.at(at + 1).toInt());
    }
    return QApplication::exec();
}
