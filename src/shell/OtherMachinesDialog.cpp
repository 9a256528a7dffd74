// SPDX-License-Identifier: MIT
#include "shell/OtherMachinesDialog.h"

#include "localization/ConstantText.h"
#include "platform/ServerProbe.h"
#include "shell/ServerPassword.h"
#include "shell/ShellLog.h"
#include "wbem/VisibleText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {

constexpr int kUrlRole = Qt::UserRole;
constexpr int kUserRole = Qt::UserRole + 1;

QString Text(const char *name)
{
    return ConstantText(QString::fromLatin1(name));
}

QString Shown(const QString &url)
{
    return QString::fromStdString(platform::VisibleText(platform::UrlWithoutCredentials(url.toStdString())));
}

QString ProbeText(const QString &url, const platform::ServerProbeResult &result)
{
    using platform::ServerProbeOutcome;
    const QString server = Shown(url);
    const QString detail = QString::fromStdString(result.detail);
    switch (result.outcome) {
    case ServerProbeOutcome::Reached:
        return Text("msgProbarBien").arg(server).arg(result.drives).arg(result.machines);
    case ServerProbeOutcome::Refused:
        return Text("msgProbarRechazado").arg(server, detail);
    case ServerProbeOutcome::WrongPassword:
        return Text("msgProbarContrasena").arg(server);
    case ServerProbeOutcome::NotPrometheus:
        return Text("msgProbarNoPrometheus").arg(server, detail);
    case ServerProbeOutcome::TimedOut:
        return Text("msgProbarTiempo").arg(server).arg(TOtherMachinesDialog::ProbeSeconds);
    case ServerProbeOutcome::BadAddress:
        return Text("msgDireccionNoValida");
    case ServerProbeOutcome::Unavailable:
        break;
    }
    return Text("msgProbarNoDisponible").arg(detail);
}

} // namespace

TOtherMachinesDialog::TOtherMachinesDialog(const TOtherMachines &machines, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(Text("msgOtrasMaquinasTitulo"));
    auto *layout = new QVBoxLayout(this);

    FThisMachine = new QCheckBox(Text("msgEstaMaquina"), this);
    FThisMachine->setChecked(machines.ThisMachine);
    layout->addWidget(FThisMachine);

    FList = new QListWidget(this);
    for (const TOtherServer &server : machines.Servers)
        AddItem(server);
    layout->addWidget(FList);

    auto *form = new QFormLayout;
    FUrl = new QLineEdit(this);
    FUrl->setPlaceholderText(QStringLiteral("http://prometheus.example.org:9090"));
    FUser = new QLineEdit(this);
    FPassword = new QLineEdit(this);
    FPassword->setEchoMode(QLineEdit::Password);
    form->addRow(Text("msgServidor"), FUrl);
    form->addRow(Text("msgUsuario"), FUser);
    form->addRow(Text("msgContrasena"), FPassword);
    layout->addLayout(form);

    auto *buttons = new QHBoxLayout;
    FAdd = new QPushButton(Text("msgAnadir"), this);
    FProbe = new QPushButton(Text("msgProbar"), this);
    FRemove = new QPushButton(Text("msgQuitar"), this);
    for (QPushButton *button : {FAdd, FProbe, FRemove}) {
        // Return in a field means OK, never one of these.
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    FOutcome = new QLabel(this);
    FOutcome->setTextFormat(Qt::PlainText);
    FOutcome->setWordWrap(true);
    FOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(FOutcome);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(box);

    connect(FAdd, &QPushButton::clicked, this, &TOtherMachinesDialog::Add);
    connect(FProbe, &QPushButton::clicked, this, &TOtherMachinesDialog::Probe);
    connect(FRemove, &QPushButton::clicked, this, &TOtherMachinesDialog::Remove);
    connect(FList, &QListWidget::currentRowChanged, this, &TOtherMachinesDialog::Selected);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(480, sizeHint().height());
    // The address is what a user types first.
    FUrl->setFocus();
}

TOtherMachinesDialog::~TOtherMachinesDialog() = default;

TOtherMachines TOtherMachinesDialog::Machines() const
{
    TOtherMachines machines;
    machines.ThisMachine = FThisMachine->isChecked();
    for (int i = 0; i < FList->count(); ++i) {
        const QListWidgetItem *item = FList->item(i);
        machines.Servers.append({item->data(kUrlRole).toString(), item->data(kUserRole).toString()});
    }
    return machines;
}

QString TOtherMachinesDialog::Outcome() const
{
    return FOutcome->text();
}

void TOtherMachinesDialog::Show(const QString &text)
{
    FOutcome->setText(text);
    qCDebug(lcShell).noquote() << "other machines:" << text;
    emit OutcomeShown(text);
}

void TOtherMachinesDialog::AddItem(const TOtherServer &server)
{
    auto *item = new QListWidgetItem(server.User.isEmpty() ? Shown(server.Url)
                                                           : Shown(server.Url) + QStringLiteral(" (") + server.User
                                             + QLatin1Char(')'));
    item->setData(kUrlRole, server.Url);
    item->setData(kUserRole, server.User);
    FList->addItem(item);
}

void TOtherMachinesDialog::Add()
{
    const TOtherServer server{FUrl->text().trimmed(), FUser->text().trimmed()};
    const QString password = FPassword->text();
    if (!TOtherMachines::UrlProblem(server.Url).isEmpty() || !TOtherMachines::UserProblem(server.User).isEmpty()) {
        Show(Text("msgDireccionNoValida"));
        return;
    }
    if (!password.isEmpty() && server.User.isEmpty()) {
        Show(Text("msgFaltaUsuario"));
        return;
    }
    if (!Machines().Servers.contains(server)) {
        if (FList->count() >= TOtherMachines::MaxServers)
            return;
        AddItem(server);
    }
    FList->setCurrentRow(FList->count() - 1);
    FPassword->clear();
    Show(Text("msgAnadido").arg(Shown(server.Url)));
    if (password.isEmpty())
        return;
    // The password goes to the keyring only; without one the server stays
    // in the list, without a password.
    QPointer<TOtherMachinesDialog> self(this);
    ServerPassword::Store(this, server.Url, server.User, password, [self, server](const QString &error) {
        if (!self)
            return;
        self->Show(error.isEmpty() ? Text("msgContrasenaGuardada").arg(Shown(server.Url))
                                   : Text("msgSinLlavero").arg(Shown(server.Url), error));
    });
}

void TOtherMachinesDialog::Probe()
{
    const QString url = FUrl->text().trimmed();
    const QString user = FUser->text().trimmed();
    const QString typed = FPassword->text();
    if (!TOtherMachines::UrlProblem(url).isEmpty()) {
        Show(Text("msgDireccionNoValida"));
        return;
    }
    const int number = ++FProbeNumber;
    Show(Text("msgProbando").arg(Shown(url)));
    QPointer<TOtherMachinesDialog> self(this);
    const auto run = [self, number, url, user](const QString &password) {
        if (!self)
            return;
        auto result = std::make_shared<platform::ServerProbeResult>();
        QThread *thread = QThread::create([result, url, user, password] {
            *result = platform::ProbeDriveServer(url.toStdString(), user.toStdString(), password.toStdString(),
                                                 std::chrono::seconds(ProbeSeconds));
        });
        connect(thread, &QThread::finished, self, [self, number, url, result] {
            if (self && number == self->FProbeNumber)
                self->Show(ProbeText(url, *result));
        });
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
    };
    // A password typed is tried as it is; otherwise the keyring's (or
    // ~/.netrc's) as the widget would use it.
    if (!typed.isEmpty() || user.isEmpty()) {
        run(typed);
        return;
    }
    ServerPassword::Lookup(this, url, user, [run](const QString &password, const QString &) { run(password); });
}

void TOtherMachinesDialog::Remove()
{
    const int row = FList->currentRow();
    if (row < 0)
        return;
    delete FList->takeItem(row);
}

void TOtherMachinesDialog::Selected()
{
    const QListWidgetItem *item = FList->currentItem();
    if (!item)
        return;
    FUrl->setText(item->data(kUrlRole).toString());
    FUser->setText(item->data(kUserRole).toString());
    FPassword->clear();
}
