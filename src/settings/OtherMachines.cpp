// SPDX-License-Identifier: MIT
#include "settings/OtherMachines.h"

#include "settings/Config.h"
#include "vcl/Conversions.h"

#include <QFileInfo>

#include <map>

namespace {

const QString kThisMachineKey = QStringLiteral("EstaMaquina");
const QString kServerKey = QStringLiteral("Servidor");
const QString kUserKey = QStringLiteral("Usuario");

bool HasControlCharacter(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Format
            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            return true;
    return false;
}

// The number of a key "<prefix><digits>" (case as the file's keys match:
// regardless of letter case), 1 to MaxServers; 0 for any other key.
int KeyNumber(const QString &key, const QString &prefix)
{
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 2
        || !key.startsWith(prefix, Qt::CaseInsensitive))
        return 0;
    const QStringView digits = QStringView(key).mid(prefix.size());
    if (digits.front() == u'0')
        return 0;
    int number = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number <= TOtherMachines::MaxServers ? number : 0;
}

} // namespace

QString TOtherMachines::UrlProblem(const QString &text)
{
    if (text.size() > MaxTextLength)
        return QStringLiteral("the address is longer than %1 characters").arg(MaxTextLength);
    if (HasControlCharacter(text) || text.contains(u' ') || text.contains(u'\t'))
        return QStringLiteral("the address holds blanks or control characters");
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("https://")})
        if (text.startsWith(scheme, Qt::CaseInsensitive)) {
            const QStringView rest = QStringView(text).mid(scheme.size());
            if (rest.isEmpty() || rest.front() == u'/' || rest.front() == u':')
                return QStringLiteral("the address names no host");
            return {};
        }
    return QStringLiteral("the address does not start with http:// or https://");
}

QString TOtherMachines::UserProblem(const QString &text)
{
    if (text.size() > MaxTextLength)
        return QStringLiteral("the user name is longer than %1 characters").arg(MaxTextLength);
    if (HasControlCharacter(text))
        return QStringLiteral("the user name holds control characters");
    if (text != text.trimmed())
        return QStringLiteral("the user name starts or ends with a blank");
    return {};
}

TOtherMachines TOtherMachines::Read(const QString &AIniFilePath, QStringList *AProblems)
{
    TOtherMachines machines;
    std::map<int, QString> urls;
    std::map<int, QString> users;
    const auto problem = [AProblems](const QString &text) {
        if (AProblems)
            *AProblems << text;
    };
    for (const auto &[key, value] : TConfig::ReadSection(AIniFilePath, SectionName())) {
        if (key.compare(kThisMachineKey, Qt::CaseInsensitive) == 0) {
            machines.ThisMachine = vcl::StrToBoolDef(value, true);
        } else if (const int n = KeyNumber(key, kServerKey)) {
            urls[n] = value.trimmed();
        } else if (const int n = KeyNumber(key, kUserKey)) {
            users[n] = value.trimmed();
        }
    }
    for (const auto &[number, url] : urls) {
        TOtherServer server{url, users.count(number) ? users.at(number) : QString()};
        if (const QString why = UrlProblem(server.Url); !why.isEmpty()) {
            problem(QStringLiteral("server %1 left out: %2").arg(number).arg(why));
            continue;
        }
        if (const QString why = UserProblem(server.User); !why.isEmpty()) {
            problem(QStringLiteral("server %1 left out: %2").arg(number).arg(why));
            continue;
        }
        if (machines.Servers.contains(server)) {
            problem(QStringLiteral("server %1 left out: listed before with the same user").arg(number));
            continue;
        }
        machines.Servers.append(server);
    }
    return machines;
}

bool TOtherMachines::Write(const QString &AIniFilePath, const TOtherMachines &AMachines)
{
    if (!QFileInfo::exists(AIniFilePath))
        return false;
    QStringList keys;
    QStringList values;
    if (!AMachines.ThisMachine || !AMachines.Servers.isEmpty()) {
        keys << kThisMachineKey;
        values << TConfig::BoolToStr(AMachines.ThisMachine);
    }
    QList<TOtherServer> written;
    for (const TOtherServer &server : AMachines.Servers) {
        if (written.size() >= MaxServers || !UrlProblem(server.Url).isEmpty()
            || !UserProblem(server.User).isEmpty() || written.contains(server))
            continue;
        written.append(server);
        const QString number = QString::number(written.size());
        keys << kServerKey + number;
        values << server.Url;
        if (!server.User.isEmpty()) {
            keys << kUserKey + number;
            values << server.User;
        }
    }
    TConfig::ReplaceSection(AIniFilePath, SectionName(), keys, values);
    return true;
}
