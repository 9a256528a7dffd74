// SPDX-License-Identifier: MIT
#include "analysis/FileKinds.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

struct TExtension
{
    std::string_view Name;
    TFileKind Kind;
};

// Sorted by name: looked up by binary search.
constexpr TExtension kExtensions[] = {
    {"7z", TFileKind::Archive},    {"a", TFileKind::Program},        {"aac", TFileKind::Sound},
    {"apk", TFileKind::Archive},   {"appimage", TFileKind::Program}, {"avi", TFileKind::Video},
    {"bin", TFileKind::Program},   {"bmp", TFileKind::Picture},      {"bz2", TFileKind::Archive},
    {"c", TFileKind::Code},        {"cc", TFileKind::Code},          {"cpp", TFileKind::Code},
    {"cs", TFileKind::Code},       {"csv", TFileKind::Document},     {"deb", TFileKind::Archive},
    {"dll", TFileKind::Program},   {"dmg", TFileKind::Archive},      {"doc", TFileKind::Document},
    {"docx", TFileKind::Document}, {"epub", TFileKind::Document},    {"exe", TFileKind::Program},
    {"flac", TFileKind::Sound},    {"gif", TFileKind::Picture},      {"go", TFileKind::Code},
    {"gz", TFileKind::Archive},    {"h", TFileKind::Code},           {"heic", TFileKind::Picture},
    {"hpp", TFileKind::Code},      {"htm", TFileKind::Document},     {"html", TFileKind::Document},
    {"img", TFileKind::Archive},   {"iso", TFileKind::Archive},      {"jar", TFileKind::Archive},
    {"java", TFileKind::Code},     {"jpeg", TFileKind::Picture},     {"jpg", TFileKind::Picture},
    {"js", TFileKind::Code},       {"json", TFileKind::Document},    {"m4a", TFileKind::Sound},
    {"md", TFileKind::Document},   {"mkv", TFileKind::Video},        {"mov", TFileKind::Video},
    {"mp3", TFileKind::Sound},     {"mp4", TFileKind::Video},        {"mpg", TFileKind::Video},
    {"msi", TFileKind::Program},   {"o", TFileKind::Program},        {"odp", TFileKind::Document},
    {"ods", TFileKind::Document},  {"odt", TFileKind::Document},     {"ogg", TFileKind::Sound},
    {"opus", TFileKind::Sound},    {"pdf", TFileKind::Document},     {"png", TFileKind::Picture},
    {"ppt", TFileKind::Document},  {"pptx", TFileKind::Document},    {"py", TFileKind::Code},
    {"qcow2", TFileKind::Archive}, {"rar", TFileKind::Archive},      {"rpm", TFileKind::Archive},
    {"rs", TFileKind::Code},       {"sh", TFileKind::Code},          {"so", TFileKind::Program},
    {"svg", TFileKind::Picture},   {"tar", TFileKind::Archive},      {"tif", TFileKind::Picture},
    {"tiff", TFileKind::Picture},  {"ts", TFileKind::Code},          {"txt", TFileKind::Document},
    {"vdi", TFileKind::Archive},   {"vmdk", TFileKind::Archive},     {"wav", TFileKind::Sound},
    {"webm", TFileKind::Video},    {"webp", TFileKind::Picture},     {"wmv", TFileKind::Video},
    {"xls", TFileKind::Document},  {"xlsx", TFileKind::Document},    {"xz", TFileKind::Archive},
    {"zip", TFileKind::Archive},   {"zst", TFileKind::Archive},
};
static_assert(std::is_sorted(std::begin(kExtensions), std::end(kExtensions),
                             [](const TExtension &a, const TExtension &b) { return a.Name < b.Name; }));

} // namespace

TFileKind FileKindOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot + 1 >= name.size() || name.size() - dot > 10)
        return TFileKind::Other;
    const QByteArray extension = name.mid(dot + 1).toLower().toLatin1();
    const std::string_view key(extension.constData(), std::size_t(extension.size()));
    const auto found = std::lower_bound(std::begin(kExtensions), std::end(kExtensions), key,
                                        [](const TExtension &e, std::string_view k) { return e.Name < k; });
    return found != std::end(kExtensions) && found->Name == key ? found->Kind : TFileKind::Other;
}

QColor FileKindColor(TFileKind kind)
{
    switch (kind) {
    case TFileKind::Folder:
        return QColor(0x5b, 0x8d, 0xc9);
    case TFileKind::Picture:
        return QColor(0x6a, 0xb8, 0x5e);
    case TFileKind::Video:
        return QColor(0xc9, 0x5b, 0x8d);
    case TFileKind::Sound:
        return QColor(0x9b, 0x6a, 0xc9);
    case TFileKind::Archive:
        return QColor(0xd9, 0x8e, 0x3b);
    case TFileKind::Document:
        return QColor(0xd9, 0xc4, 0x3b);
    case TFileKind::Code:
        return QColor(0x3b, 0xb5, 0xb0);
    case TFileKind::Program:
        return QColor(0xb5, 0x4a, 0x3b);
    case TFileKind::Other:
        break;
    }
    return QColor(0x9a, 0x9a, 0x9a);
}
