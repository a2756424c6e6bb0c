#include "catalogue/hlvStringList.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <memory>
#include <stdexcept>

namespace {

// One collator per thread: the user's default locale, secondary strength (case ignored, accents kept).
icu::Collator& DefaultCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C and POSIX locales come back as en_US_POSIX, whose collation orders by code point and
        // so tells case apart even at secondary strength; the root rules serve those users instead.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string_view(locale.getName()) == "en_US_POSIX")
            locale = icu::Locale::getRoot();
        std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (U_FAILURE(status) || !c)
            throw std::runtime_error("No collator for the default locale");
        c->setStrength(icu::Collator::SECONDARY);
        return c;
    }();
    return *collator;
}

bool PrintableAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

int LocaleCompareText(std::string_view a, std::string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r =
        DefaultCollator().compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                      icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status))
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return r == UCOL_LESS ? -1 : (r == UCOL_EQUAL ? 0 : 1);
}

std::string LocaleSortKey(std::string_view s) {
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
    std::string key(s.size() * 2 + 16, '\0');
    for (;;) {
        int32_t n = DefaultCollator().getSortKey(u, reinterpret_cast<uint8_t*>(key.data()),
                                                 static_cast<int32_t>(key.size()));
        if (n <= static_cast<int32_t>(key.size())) {
            key.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0); // drop the terminating zero
            return key;
        }
        key.resize(static_cast<std::size_t>(n));
    }
}

int TStringList::IndexOf(std::string_view S) const {
    const bool plain = PrintableAscii(S);
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        const std::string& item = FItems[i];
        // For printable ASCII on both sides the collator's secondary equality is ASCII case folding;
        // the pick lists are filled from a whole catalogue, so this path matters.
        if (plain && PrintableAscii(item)) {
            if (item.size() != S.size())
                continue;
            bool same = true;
            for (std::size_t k = 0; k < S.size() && same; ++k)
                same = AsciiUpper(item[k]) == AsciiUpper(S[k]);
            if (same)
                return static_cast<int>(i);
            continue;
        }
        if (LocaleCompareText(item, S) == 0)
            return static_cast<int>(i);
    }
    return -1;
}
