#include "tools/console/ConsoleText.h"

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

void WriteUtf8(const std::wstring& text, DWORD stream)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Visible(std::wstring_view text)
{
    std::wstring shown = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case L'\r': shown += L"\\r"; break;
        case L'\n': shown += L"\\n"; break;
        case L'\t': shown += L"\\t"; break;
        case L'"': shown += L"\\\""; break;
        default: shown += text[i];
        }
    }
    return shown + L"\"";
}

std::wstring Hex(HRESULT result)
{
    wchar_t buffer[16];
    wsprintfW(buffer, L"0x%08lX", static_cast<unsigned long>(result));
    return buffer;
}
