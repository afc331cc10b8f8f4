#include "gui/version_info.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

// The program's own version block. Marked used so that it stays in the
// executable, where reading the program file finds it.
[[gnu::used]] const char kOwnVersionBlock[] =
    "NORVOISP-VERSIONINFO-1\0"
    "\\VarFileInfo\\Translation=040904E4\0"
    "\\StringFileInfo\\040904E4\\CompanyName=lumora\0"
    "\\StringFileInfo\\040904E4\\FileDescription=" NORVOISP_DESCRIPTION "\0"
    "\\StringFileInfo\\040904E4\\FileVersion=" NORVOISP_VERSION_STRING "\0"
    "\\StringFileInfo\\040904E4\\InternalName=" NORVOISP_PRODUCT_NAME "\0"
    "\\StringFileInfo\\040904E4\\OriginalFilename=" NORVOISP_PRODUCT_NAME "\0"
    "\\StringFileInfo\\040904E4\\ProductName=" NORVOISP_PRODUCT_NAME "\0"
    "\\StringFileInfo\\040904E4\\ProductVersion=" NORVOISP_VERSION_STRING "\0"
    ""; // the literal's own zero ends the block

// The magic and its terminating zero.
constexpr std::size_t kMagicLength = sizeof("NORVOISP-VERSIONINFO-1");
// A block longer than this is not taken for one.
constexpr std::size_t kMaxBlock = 64 * 1024;
// Files that cannot be mapped are read whole up to this size.
constexpr qint64 kMaxRead = 256 * 1024 * 1024;

using TEntries = QHash<QString, QString>;

// The entries of the block that starts at begin (at its magic), or nothing
// when no terminating empty entry follows within kMaxBlock.
std::optional<TEntries> ParseBlock(const char* begin, const char* end) {
    end = std::min(end, begin + kMaxBlock);
    TEntries entries;
    const char* p = begin + kMagicLength;
    while (p < end) {
        const char* zero = std::find(p, end, '\0');
        if (zero == end) return std::nullopt;
        if (zero == p) return entries;
        const std::string_view entry(p, static_cast<std::size_t>(zero - p));
        const std::size_t eq = entry.find('=');
        if (eq != std::string_view::npos) {
            const QString key = QString::fromUtf8(entry.data(), static_cast<qsizetype>(eq)).toLower();
            if (!entries.contains(key))
                entries.insert(key, QString::fromUtf8(entry.data() + eq + 1,
                                                      static_cast<qsizetype>(entry.size() - eq - 1)));
        }
        p = zero + 1;
    }
    return std::nullopt;
}

// The first well-formed version block of the bytes.
std::optional<TEntries> FindBlock(const char* begin, const char* end) {
    const std::string_view magic = TFileVersionInfo::ResourceMagic();
    const std::boyer_moore_horspool_searcher searcher(magic.begin(), magic.end());
    for (const char* at = begin; at < end; ++at) {
        at = std::search(at, end, searcher);
        if (at == end) break;
        if (auto entries = ParseBlock(at, end)) return entries;
    }
    return std::nullopt;
}

std::optional<TEntries> ReadBlock(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const qint64 size = file.size();
    if (size > 0) {
        if (uchar* map = file.map(0, size)) {
            const auto* begin = reinterpret_cast<const char*>(map);
            auto result = FindBlock(begin, begin + size);
            file.unmap(map);
            return result;
        }
    }
    // Not mappable (or a special file that reports no size): read it.
    const QByteArray bytes = file.read(kMaxRead);
    return FindBlock(bytes.constData(), bytes.constData() + bytes.size());
}

bool IsHexText(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    });
}

} // namespace

std::string_view TFileVersionInfo::ResourceMagic() {
    return {kOwnVersionBlock, kMagicLength};
}

QString TFileVersionInfo::RunningProgram() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

TFileVersionInfo::TFileVersionInfo(QObject* owner) : QObject(owner) {
    SetExecutableFile(RunningProgram());
}

void TFileVersionInfo::SetExecutableFile(const QString& path) {
    fExecutableFile = path;
    FindFileVersionInfo();
}

void TFileVersionInfo::clearInfo() {
    for (QString* s :
         {&fCompanyName, &fFileDescription, &fFileVersion, &fInternalName, &fLegalCopyright,
          &fLegalTradeMarks, &fOriginalFilename, &fProductName, &fProductVersion, &fComments, &fCountryCode})
        s->clear();
}

void TFileVersionInfo::FindFileVersionInfo() {
    clearInfo();
    const std::optional<TEntries> entries = ReadBlock(fExecutableFile);
    if (!entries) return;

    // The first language and code page block named by the translation list.
    const QStringList blocks = entries->value(QStringLiteral("\\varfileinfo\\translation"))
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (blocks.isEmpty()) return;
    const QString code = blocks.front().toUpper();
    if (code.size() != 8 || !IsHexText(code)) return;
    fCountryCode = code;

    const std::pair<const char*, QString*> names[] = {
        {"CompanyName", &fCompanyName},           {"FileDescription", &fFileDescription},
        {"FileVersion", &fFileVersion},           {"InternalName", &fInternalName},
        {"LegalCopyright", &fLegalCopyright},     {"LegalTradeMarks", &fLegalTradeMarks},
        {"OriginalFilename", &fOriginalFilename}, {"ProductName", &fProductName},
        {"ProductVersion", &fProductVersion},     {"Comments", &fComments}};
    for (const auto& [name, field] : names)
        *field = entries->value(
            (QStringLiteral("\\StringFileInfo\\") + fCountryCode + QLatin1Char('\\') + QLatin1String(name))
                .toLower());
}
