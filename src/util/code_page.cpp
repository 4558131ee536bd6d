#include "util/code_page.h"

#include "util/error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <QList>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#endif

namespace {

TError UnknownCodePage(const QString& name) {
    return TError(QStringLiteral("Неизвестная кодовая страница: %1").arg(name));
}

}  // namespace

#ifdef _WIN32

namespace {

// "windows-1251", "cp1251", "CP866" or a bare number.
UINT CodePageNumber(const QString& name) {
    QString digits = name.trimmed().toLower();
    for (const char* prefix : {"windows-", "cp", "ibm"}) {
        if (digits.startsWith(QLatin1String(prefix))) {
            digits = digits.mid(int(qstrlen(prefix)));
            break;
        }
    }
    bool ok = false;
    const uint number = digits.toUInt(&ok);
    if (!ok || number == 0 || !IsValidCodePage(number)) {
        throw UnknownCodePage(name);
    }
    return number;
}

}  // namespace

TCodePage::TCodePage(const QString& name) : name_(name) {
    CodePageNumber(name_);
}

QByteArray TCodePage::FromUnicode(const QString& text) const {
    if (text.isEmpty()) {
        return QByteArray();
    }
    const UINT cp = CodePageNumber(name_);
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    // No best-fit mapping: a character the code page lacks must show as '?', not as a
    // look-alike letter. The UTF code pages take neither the flag nor a default character.
    const bool utf = cp == CP_UTF7 || cp == CP_UTF8;
    const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = utf ? nullptr : "?";
    const int size =
        WideCharToMultiByte(cp, flags, wide, int(text.size()), nullptr, 0, fallback, nullptr);
    QByteArray result(size, Qt::Uninitialized);
    WideCharToMultiByte(cp, flags, wide, int(text.size()), result.data(), size, fallback, nullptr);
    return result;
}

QString TCodePage::ToUnicode(const QByteArray& bytes) const {
    if (bytes.isEmpty()) {
        return QString();
    }
    const UINT cp = CodePageNumber(name_);
    const int size = MultiByteToWideChar(cp, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString result(size, Qt::Uninitialized);
    MultiByteToWideChar(cp, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(result.data()), size);
    return result;
}

#else

namespace {

// UCS-4 in the machine's byte order, the form QString::toUcs4 gives.
const char* Ucs4Name() {
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-32LE" : "UTF-32BE";
}

// Owns one iconv descriptor.
class TIconv {
public:
    TIconv(const QString& to, const QString& from)
        : cd_(iconv_open(to.toLatin1().constData(), from.toLatin1().constData())) {}
    ~TIconv() {
        if (Valid()) {
            iconv_close(cd_);
        }
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool Valid() const { return cd_ != iconv_t(-1); }

    // Converts input whose units are unit_size bytes wide; every unit (or character) that
    // cannot be converted becomes the bytes of replacement.
    QByteArray Convert(const QByteArray& input, int unit_size, const QByteArray& replacement) {
        QByteArray output;
        output.reserve(input.size() * 4 / unit_size + 16);
        char buffer[4096];
        char* in = const_cast<char*>(input.constData());
        size_t in_left = size_t(input.size());
        while (in_left > 0) {
            char* out = buffer;
            size_t out_left = sizeof(buffer);
            const size_t rc = iconv(cd_, &in, &in_left, &out, &out_left);
            output.append(buffer, qsizetype(out - buffer));
            if (rc != size_t(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ: not representable or not valid; EINVAL: cut short at the end.
            output.append(replacement);
            const size_t skip = std::min(size_t(unit_size), in_left);
            in += skip;
            in_left -= skip;
        }
        char* out = buffer;
        size_t out_left = sizeof(buffer);
        iconv(cd_, nullptr, nullptr, &out, &out_left);
        output.append(buffer, qsizetype(out - buffer));
        return output;
    }

private:
    iconv_t cd_;
};

}  // namespace

TCodePage::TCodePage(const QString& name) : name_(name) {
    if (name_.trimmed().isEmpty() || !TIconv(name_, QLatin1String(Ucs4Name())).Valid() ||
        !TIconv(QLatin1String(Ucs4Name()), name_).Valid()) {
        throw UnknownCodePage(name_);
    }
}

QByteArray TCodePage::FromUnicode(const QString& text) const {
    if (text.isEmpty()) {
        return QByteArray();
    }
    TIconv conv(name_, QLatin1String(Ucs4Name()));
    if (!conv.Valid()) {
        throw UnknownCodePage(name_);
    }
    // Lone surrogates come out of toUcs4 as U+FFFD and then as '?' like any other stranger.
    const QList<uint> ucs4 = text.toUcs4();
    const QByteArray input(reinterpret_cast<const char*>(ucs4.constData()),
                           ucs4.size() * qsizetype(sizeof(uint)));
    return conv.Convert(input, 4, QByteArrayLiteral("?"));
}

QString TCodePage::ToUnicode(const QByteArray& bytes) const {
    if (bytes.isEmpty()) {
        return QString();
    }
    TIconv conv(QLatin1String(Ucs4Name()), name_);
    if (!conv.Valid()) {
        throw UnknownCodePage(name_);
    }
    const uint question = '?';
    const QByteArray ucs4 = conv.Convert(
        bytes, 1, QByteArray(reinterpret_cast<const char*>(&question), sizeof(question)));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(ucs4.constData()),
                             ucs4.size() / qsizetype(sizeof(char32_t)));
}

#endif
