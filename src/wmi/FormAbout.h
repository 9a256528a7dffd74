// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// Information dialog of the Quillon component library (TWMIBase, TWMISQL).
// The components refer to it through VersionQuillet for a design tool; the
// widget itself never creates it. A stand-alone, fixed-size tool window that
// stays on top, starts centred on the screen and deletes itself when closed.
class TFAbout : public QDialog
{
    Q_OBJECT

public:
    using TUrlOpener = std::function<bool(const QUrl &)>;

    explicit TFAbout(QWidget *owner = nullptr);
    ~TFAbout() override;

    // "mailto:" + address + "?subject=(Quillon Info)-&body=". The address is
    // the path of the URL, so a '?' or '&' in it cannot add header fields.
    static QUrl MailUrl(const QString &address);

    static const QString ContactAddress;
    static const QString WebAddress;

    // Opens the mail and web lines' addresses; QDesktopServices::openUrl
    // (the user's mail program, the browser) unless replaced.
    void SetUrlOpener(TUrlOpener opener);

    // Components of the window definition, in definition order.
    QFrame *pnSuperior = nullptr;
    QFrame *pnlSuperior = nullptr;
    QLabel *imgLogo = nullptr;
    QLabel *lblLibreria = nullptr;
    QLabel *lbVersion = nullptr;
    QLabel *imgBlog = nullptr;
    QFrame *pnlInfo = nullptr;
    QFrame *pnldesc = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *imgBuildwith = nullptr;
    QLabel *lblMail = nullptr;
    QLabel *lblWeb = nullptr;
    QPushButton *btnCerrar = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void lblMailClick();
    void lblWebClick();
    void btnCerrarClick();

    TUrlOpener FUrlOpener;
};
