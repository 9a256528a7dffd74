// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QString>

#include <functional>

class QMessageBox;

// How the widget tells the user about errors. Three kinds, each with its box:
// - an error of a user-interface handler (a menu choice, a refresh started by
//   hand, the start itself): a non-modal error box, one at a time, that each
//   further error rewrites, so that a failing refresh every few seconds does
//   not pile boxes up;
// - a problem found while the window is destroyed (the settings could not be
//   written, a damaged settings file was set aside): stderr and, unless the
//   end was unattended (a signal, the end of the session) where nobody may be
//   there to close it, a modal error box;
// - the fatal refresh error: a modal error box, and the program ends.
// The boxes have no owner window: a box that belonged to the widget would
// share its place below all other windows. Tests put their own handlers in to
// observe the shutdown and fatal reports.
class TErrorReport
{
public:
    using THandler = std::function<void(const QString &message)>;

    TErrorReport() = default;
    ~TErrorReport();
    TErrorReport(const TErrorReport &) = delete;
    TErrorReport &operator=(const TErrorReport &) = delete;

    // The message of the exception being handled: an Exception's own text,
    // what() of any other std::exception, "Unknown error" for anything else.
    // Call only inside a catch block.
    static QString CurrentMessage();

    // Runs a handler of the user interface; whatever it raises goes to Show
    // instead of unwinding through Qt's event handling.
    template <typename Handler>
    void Guarded(Handler &&handler)
    {
        try {
            handler();
        } catch (...) {
            Show(CurrentMessage());
        }
    }

    // An error of a user-interface handler, also logged as a warning.
    void Show(const QString &message);

    // A problem found on the way out.
    void AtShutdown(const QString &message);
    void SetShutdownHandler(THandler handler) { FShutdownHandler = std::move(handler); }
    // From now on the end is unattended: shutdown problems go to stderr only.
    void SetUnattended() { FUnattended = true; }

    // The fatal error: by default a modal box with message, then end() once
    // it is closed. A handler set with SetFatalHandler replaces both.
    void Fatal(const QString &message, const std::function<void()> &end);
    void SetFatalHandler(THandler handler) { FFatalHandler = std::move(handler); }

private:
    THandler FShutdownHandler;
    THandler FFatalHandler;
    bool FUnattended = false;
    QPointer<QMessageBox> FErrorBox;
};
