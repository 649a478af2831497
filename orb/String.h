#pragma once

#include <cstddef>

namespace orb {

// An owned, 0-terminated buffer of wide characters with its capacity. An empty String
// either has no buffer at all or a buffer whose first character is the terminator; every
// operation treats the two alike except Text, which gives null for the first.
// Allocation failure is not caught here: std::bad_alloc reaches the caller.
class String {
public:
    String();
    // From wide text; a null or empty text gives a String without a buffer.
    String(const wchar_t* text);
    // From 8-bit text: each byte becomes the wide character of the same value (0 to 255).
    // A null or empty text gives a String without a buffer.
    explicit String(const char* text);
    String(const String& other);
    virtual ~String();

    // Replaces the text by a copy of text (null clears). Safe for text inside this buffer.
    bool Assign(const wchar_t* text);
    // Replaces the text by the decimal form of number.
    bool AssignNumber(int number);
    String& operator=(const String& other);
    String& operator=(const wchar_t* text);
    String& operator=(int number);

    // Releases the buffer: no buffer, capacity 0.
    void Clear();
    // Characters before the first terminator; 0 without a buffer.
    int Length() const;
    // The buffer itself, null without one; callers may write within Capacity().
    wchar_t* Text() const { return buffer_; }
    std::size_t Capacity() const { return capacity_; }
    // Makes room for n characters (0 counts as 1), keeps the text cut to n - 1 characters,
    // stores a terminator at index n - 1 and returns the buffer.
    wchar_t* WritableBuffer(std::size_t n);

    // Index of the first occurrence of needle at or after start, counted from the start of
    // the text; -1 for a null needle, no buffer, start < 0 or start > Length().
    int Find(const wchar_t* needle, int start) const;
    // As Find on upper-cased copies (only a to z fold); an empty needle or text gives -1.
    int FindNoCase(const wchar_t* needle, int start) const;

    void MakeUpper();
    void MakeLower();
    void Reverse();
    // Keeps the first index characters (negative counts as 0); the buffer stays.
    void Truncate(int index);
    // Keeps the last count characters (negative counts as 0); the buffer stays.
    void KeepRight(int count);

    // printf-style formatting through wvsprintfW (at most 1,024 characters); a result of
    // 0 characters leaves the String exactly as it was.
    void Format(const wchar_t* format, ...);

    friend String operator+(const String& left, const wchar_t* right);
    friend String operator+(const String& left, const String& right);

private:
    void Join(const wchar_t* left, int leftLength, const wchar_t* right, int rightLength);

    wchar_t* buffer_;
    std::size_t capacity_;
};

}  // namespace orb
