// SPDX-License-Identifier: MIT
#pragma once

#include "settings/OtherMachines.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The other machines, edited from the tray menu: the list of Prometheus
// servers (address and user), one added with its password (kept in the
// desktop's keyring, never in the settings file), tried ("Probar") on a
// worker thread with the outcome in plain words, one removed, and whether
// this machine's drives are shown. Its texts are program constants, so they
// follow the language chosen in the menu.
class TOtherMachinesDialog : public QDialog
{
    Q_OBJECT

public:
    // How long a trial may take: longer than a refresh's deadline, as a
    // person waits for it.
    static constexpr int ProbeSeconds = 5;

    explicit TOtherMachinesDialog(const TOtherMachines &machines, QWidget *parent = nullptr);
    ~TOtherMachinesDialog() override;

    // The list as the dialog holds it now.
    TOtherMachines Machines() const;
    // The last outcome shown (of Añadir or Probar).
    QString Outcome() const;

    // The controls, for tests.
    QLineEdit *UrlEdit() const { return FUrl; }
    QLineEdit *UserEdit() const { return FUser; }
    QLineEdit *PasswordEdit() const { return FPassword; }
    QPushButton *AddButton() const { return FAdd; }
    QPushButton *ProbeButton() const { return FProbe; }
    QPushButton *RemoveButton() const { return FRemove; }
    QCheckBox *ThisMachineBox() const { return FThisMachine; }
    QListWidget *List() const { return FList; }

signals:
    // A trial or a keyring answer has been shown in Outcome().
    void OutcomeShown(const QString &text);

private:
    void Add();
    void Probe();
    void Remove();
    void Selected();
    void Show(const QString &text);
    void AddItem(const TOtherServer &server);

    QCheckBox *FThisMachine = nullptr;
    QListWidget *FList = nullptr;
    QLineEdit *FUrl = nullptr;
    QLineEdit *FUser = nullptr;
    QLineEdit *FPassword = nullptr;
    QPushButton *FAdd = nullptr;
    QPushButton *FProbe = nullptr;
    QPushButton *FRemove = nullptr;
    QLabel *FOutcome = nullptr;
    // Bumped by every trial: only the last one's answer is shown.
    int FProbeNumber = 0;
};
