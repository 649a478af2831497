#include "orb/String.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>

namespace orb {

namespace {

// wvsprintfW never writes more than 1,024 characters; the buffer leaves it room.
constexpr int kFormatBufferSize = 2048;

int TextLength(const wchar_t* text) {
    return text ? static_cast<int>(std::wcslen(text)) : 0;
}

}  // namespace

String::String() : buffer_(nullptr), capacity_(0) {}

String::String(const wchar_t* text) : buffer_(nullptr), capacity_(0) {
    if (text && *text) Assign(text);
}

String::String(const char* text) : buffer_(nullptr), capacity_(0) {
    const std::size_t n = text ? std::strlen(text) : 0;
    if (n == 0) return;
    buffer_ = new wchar_t[n + 1];
    capacity_ = n + 1;
    for (std::size_t i = 0; i < n; ++i)
        buffer_[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    buffer_[n] = L'\0';
}

String::String(const String& other) : buffer_(nullptr), capacity_(0) {
    Assign(other.buffer_);
}

String::~String() {
    delete[] buffer_;
}

bool String::Assign(const wchar_t* text) {
    if (!text) {
        Clear();
        return true;
    }
    // The copy is taken before the old buffer goes, so text may lie inside it.
    const std::size_t size = std::wcslen(text) + 1;
    wchar_t* copy = new wchar_t[size];
    std::wmemcpy(copy, text, size);
    delete[] buffer_;
    buffer_ = copy;
    capacity_ = size;
    return true;
}

bool String::AssignNumber(int number) {
    wchar_t digits[12];
    wchar_t* p = digits + 11;
    *p = L'\0';
    // Work in the unsigned domain so that INT_MIN has a magnitude.
    unsigned int magnitude = number < 0 ? 0u - static_cast<unsigned int>(number)
                                        : static_cast<unsigned int>(number);
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0) *--p = L'-';
    return Assign(p);
}

String& String::operator=(const String& other) {
    Assign(other.buffer_);
    return *this;
}

String& String::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

String& String::operator=(int number) {
    AssignNumber(number);
    return *this;
}

void String::Clear() {
    delete[] buffer_;
    buffer_ = nullptr;
    capacity_ = 0;
}

int String::Length() const {
    return TextLength(buffer_);
}

wchar_t* String::WritableBuffer(std::size_t n) {
    if (n == 0) n = 1;
    if (n > capacity_) {
        wchar_t* grown = new wchar_t[n];
        if (buffer_) {
            std::wmemcpy(grown, buffer_, capacity_);
            delete[] buffer_;
        }
        buffer_ = grown;
        capacity_ = n;
    }
    buffer_[n - 1] = L'\0';
    return buffer_;
}

int String::Find(const wchar_t* needle, int start) const {
    const int length = Length();
    if (!needle || !buffer_ || start < 0 || start > length) return -1;
    // A plain scan: an empty needle is found at start, also at the end of the text,
    // where runtime libraries' wcsstr differ.
    const int needleLength = TextLength(needle);
    for (int i = start; i + needleLength <= length; ++i)
        if (std::wmemcmp(buffer_ + i, needle, needleLength) == 0) return i;
    return -1;
}

int String::FindNoCase(const wchar_t* needle, int start) const {
    String haystack(buffer_);
    String upperNeedle(needle);
    haystack.MakeUpper();
    upperNeedle.MakeUpper();
    return haystack.Find(upperNeedle.buffer_, start);
}

void String::MakeUpper() {
    if (!buffer_) return;
    for (wchar_t* p = buffer_; *p; ++p)
        if (*p >= L'a' && *p <= L'z') *p = static_cast<wchar_t>(*p - L'a' + L'A');
}

void String::MakeLower() {
    if (!buffer_) return;
    for (wchar_t* p = buffer_; *p; ++p)
        if (*p >= L'A' && *p <= L'Z') *p = static_cast<wchar_t>(*p - L'A' + L'a');
}

void String::Reverse() {
    if (!buffer_) return;
    int i = 0;
    int j = Length() - 1;
    while (i < j) {
        const wchar_t c = buffer_[i];
        buffer_[i++] = buffer_[j];
        buffer_[j--] = c;
    }
}

void String::Truncate(int index) {
    if (index < 0) index = 0;
    if (index < Length()) buffer_[index] = L'\0';
}

void String::KeepRight(int count) {
    if (count < 0) count = 0;
    const int length = Length();
    if (count < length)
        std::wmemmove(buffer_, buffer_ + (length - count), static_cast<std::size_t>(count) + 1);
}

void String::Format(const wchar_t* format, ...) {
    wchar_t formatted[kFormatBufferSize];
    va_list args;
    va_start(args, format);
    const int written = wvsprintfW(formatted, format, args);
    va_end(args);
    if (written <= 0) return;
    Assign(formatted);
}

void String::Join(const wchar_t* left, int leftLength, const wchar_t* right, int rightLength) {
    if (leftLength + rightLength == 0) return;
    const std::size_t size = static_cast<std::size_t>(leftLength) + rightLength + 1;
    buffer_ = new wchar_t[size];
    capacity_ = size;
    if (leftLength) std::wmemcpy(buffer_, left, leftLength);
    if (rightLength) std::wmemcpy(buffer_ + leftLength, right, rightLength);
    buffer_[size - 1] = L'\0';
}

String operator+(const String& left, const wchar_t* right) {
    String result;
    result.Join(left.buffer_, left.Length(), right, TextLength(right));
    return result;
}

String operator+(const String& left, const String& right) {
    String result;
    result.Join(left.buffer_, left.Length(), right.buffer_, right.Length());
    return result;
}

}  // namespace orb
