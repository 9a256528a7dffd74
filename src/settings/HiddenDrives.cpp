// SPDX-License-Identifier: MIT
#include "settings/HiddenDrives.h"

#include "settings/Config.h"
#include "vcl/Conversions.h"

#include <QFileInfo>
#include <QSet>

namespace {

constexpr char16_t kNumberedKey = u'~';
constexpr char kEncodedMark = '%';

bool MustBeEscaped(unsigned char AByte)
{
    return AByte <= 0x20 || AByte == 0x7F || AByte == '%' || AByte == '"';
}

QString Folded(const QString &AName)
{
    return AName.toCaseFolded();
}

} // namespace

bool THiddenDrives::Storable(const QString &AName)
{
    if (AName.isEmpty() || AName.contains(u'=') || AName.contains(u'\n') || AName.contains(u'\r')
        || AName.contains(QChar(u'\0')))
        return false;
    const QChar first = AName.front();
    const QChar last = AName.back();
    return first != u'[' && first != u';' && first != u'#' && first != u' ' && first != u'\t' && last != u' '
        && last != u'\t';
}

QString THiddenDrives::EncodedValue(const QString &AName)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out(1, kEncodedMark);
    for (const char c : AName.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (MustBeEscaped(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return QString::fromUtf8(out);
}

QString THiddenDrives::DecodedValue(const QString &AValue)
{
    if (!AValue.startsWith(QLatin1Char(kEncodedMark)))
        return {};
    const QByteArray bytes = QByteArray::fromPercentEncoding(AValue.mid(1).toUtf8());
    return bytes.isEmpty() ? QString() : QString::fromUtf8(bytes);
}

QStringList THiddenDrives::Read(const QString &AIniFilePath)
{
    QStringList names;
    QSet<QString> seen;
    for (const auto &[key, value] : TConfig::ReadSection(AIniFilePath, SectionName())) {
        if (names.size() >= MaxNames)
            break;
        QString name;
        if (vcl::StrToBoolDef(value, false))
            name = key;
        else if (key.startsWith(kNumberedKey))
            name = DecodedValue(value);
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    }
    return names;
}

bool THiddenDrives::Write(const QString &AIniFilePath, const QStringList &ANames, QStringList *ALeftOut)
{
    if (!QFileInfo::exists(AIniFilePath))
        return false;
    // Plain keys first, so that the numbers of the others can avoid them.
    QSet<QString> unique;
    QSet<QString> keysTaken; // case-folded
    QStringList names;
    QList<bool> plain;
    for (const QString &name : ANames) {
        if (unique.contains(name))
            continue;
        unique.insert(name);
        const bool asKey = Storable(name) && !keysTaken.contains(Folded(name));
        if (asKey)
            keysTaken.insert(Folded(name));
        names << name;
        plain << asKey;
    }

    QStringList keys;
    QStringList values;
    qsizetype bytes = SectionName().size() + 3;
    int number = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        QString key = name;
        QString value = TConfig::BoolToStr(true);
        if (!plain[i]) {
            do
                key = QChar(kNumberedKey) + QString::number(++number);
            while (keysTaken.contains(Folded(key)));
            value = EncodedValue(name);
        }
        // key, "=", value and a line break, as UTF-8.
        const qsizetype size = key.toUtf8().size() + value.toUtf8().size() + 2;
        if (keys.size() >= MaxNames || bytes + size > MaxSectionBytes || value.size() > TConfig::MaxValueLength) {
            if (ALeftOut)
                *ALeftOut << name;
            continue;
        }
        bytes += size;
        keys << key;
        values << value;
    }
    TConfig::ReplaceSection(AIniFilePath, SectionName(), keys, values);
    return true;
}
