#include "Vek_locale.h"

#include "base/Base_file.h"
#include "vek/Vek_codepage.h"

#include <functional>

namespace Vek_locale {

namespace {

// The locale's texts come wide and are converted once: the ANSI services
// would give them in the locale's code page, not the process's. False when
// the locale gives none.
bool LocaleText(const std::function<int(LPWSTR Buffer, int Size)>& Query, std::string& Text) {
    const int Size = Query(nullptr, 0);
    if (Size <= 0)
        return false;
    std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
    const int Length = Query(&Wide[0], Size);
    if (Length <= 0)
        return false;
    Wide.resize(static_cast<std::size_t>(Length) - 1);
    Text = Vek_codepage::FromWide(Wide);
    return true;
}

} // namespace

std::string LocalTimeText(std::uint64_t Utc) {
    const FILETIME Time = Base_file::FileTimeOf(Utc);
    FILETIME Local;
    SYSTEMTIME Shown;
    if (Utc == 0 || !FileTimeToLocalFileTime(&Time, &Local) ||
        !FileTimeToSystemTime(&Local, &Shown))
        return std::string();
    std::string Date;
    std::string Clock;
    LocaleText(
        [&Shown](LPWSTR Buffer, int Size) {
            return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Shown, nullptr, Buffer,
                                  Size);
        },
        Date);
    LocaleText(
        [&Shown](LPWSTR Buffer, int Size) {
            return GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &Shown, nullptr, Buffer,
                                  Size);
        },
        Clock);
    return Date + " " + Clock;
}

std::string LocaleInfo(LCTYPE Type, const std::string& Default) {
    std::string Text;
    if (!LocaleText(
            [Type](LPWSTR Buffer, int Size) {
                return GetLocaleInfoW(LOCALE_USER_DEFAULT, Type, Buffer, Size);
            },
            Text))
        return Default;
    return Text;
}

Vek_string::TNumberFormat NumberFormat() {
    Vek_string::TNumberFormat Format;
    Format.Thousands = LocaleInfo(LOCALE_STHOUSAND, Format.Thousands);
    Format.Decimal = LocaleInfo(LOCALE_SDECIMAL, Format.Decimal);
    return Format;
}

std::string SizeText(std::uint64_t Bytes) {
    return Vek_string::SizeText(Bytes, NumberFormat());
}

} // namespace Vek_locale
