#pragma once
// Type-safe printf-style formatting. It takes the engines' formats as they
// stand, Microsoft size prefixes included ("%08I64X", "%I64u", "%s",
// "%02x", "%.2f"), and prints the same bytes on every platform. A wrong or
// missing argument is printed as a marker; it never reads stray memory.
// Real numbers show the decimal separator of the C runtime's locale: the
// C locale's "." until a front end sets the user's (UseUserLocale).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

class CFormatArg {
public:
    enum class EKind { None, Signed, Unsigned, Real, Text };

    CFormatArg() = default;
    template <class T>
        requires(std::is_integral_v<T> && std::is_signed_v<T>)
    CFormatArg(T v) : m_eKind(EKind::Signed), m_nSigned(v) {}
    template <class T>
        requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
    CFormatArg(T v) : m_eKind(EKind::Unsigned), m_nUnsigned(v) {}
    CFormatArg(bool v) : m_eKind(EKind::Unsigned), m_nUnsigned(v ? 1u : 0u) {}
    CFormatArg(double v) : m_eKind(EKind::Real), m_dReal(v) {}
    CFormatArg(float v) : m_eKind(EKind::Real), m_dReal(v) {}
    CFormatArg(const char* s) : m_eKind(EKind::Text), m_strText(s ? s : "(null)") {}
    CFormatArg(char* s) : CFormatArg(static_cast<const char*>(s)) {}
    // Any other pointer would silently turn into a bool: refuse it.
    template <class T>
    CFormatArg(const T*) = delete;
    CFormatArg(const std::string& s) : m_eKind(EKind::Text), m_strText(s) {}
    CFormatArg(std::string_view s) : m_eKind(EKind::Text), m_strText(s) {}

    EKind Kind() const { return m_eKind; }
    int64_t Signed() const { return m_eKind == EKind::Signed ? m_nSigned : static_cast<int64_t>(m_nUnsigned); }
    uint64_t Unsigned() const { return m_eKind == EKind::Unsigned ? m_nUnsigned : static_cast<uint64_t>(m_nSigned); }
    double Real() const { return m_dReal; }
    std::string_view Text() const { return m_strText; }

private:
    EKind m_eKind = EKind::None;
    int64_t m_nSigned = 0;
    uint64_t m_nUnsigned = 0;
    double m_dReal = 0.0;
    std::string_view m_strText;
};

std::string FormatTextV(std::string_view strFormat, std::span<const CFormatArg> args);

template <class... A>
std::string FormatText(std::string_view strFormat, const A&... args)
{
    const CFormatArg list[sizeof...(A) + 1] = {CFormatArg(args)..., CFormatArg()};
    return FormatTextV(strFormat, std::span<const CFormatArg>(list, sizeof...(A)));
}

// Sets the C runtime's locale to the user's own, so that speeds, sizes and
// percentages show the user's decimal separator. Front ends call it once
// at start-up, before any thread starts: changing the locale while another
// thread formats text is a race. Nothing machine-read is formatted with
// real numbers.
void UseUserLocale();

// The line end of a text file on this platform ("\r\n" on Windows); the
// platform's facts file answers it.
std::string_view TextFileLineEnd();
