#include "tools/vrl-conform/CheckList.h"

namespace {

std::wstring XmlEscaped(const std::wstring& text)
{
    std::wstring escaped;
    for (const wchar_t unit : text) {
        switch (unit) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        default:
            // XML 1.0 has no place for other control characters.
            if (unit < L' ' && unit != L'\t' && unit != L'\n' && unit != L'\r')
                escaped += L'?';
            else
                escaped += unit;
        }
    }
    return escaped;
}

}  // namespace

void CheckList::Record(const wchar_t* name, const std::wstring& why)
{
    outcomes_.push_back({name, why.empty(), why});
}

void CheckList::NotRun(const wchar_t* name, const wchar_t* because)
{
    outcomes_.push_back({name, false, std::wstring(L"not run: ") + because});
}

size_t CheckList::FailedCount() const
{
    size_t failed = 0;
    for (const CheckOutcome& outcome : outcomes_)
        failed += outcome.passed ? 0 : 1;
    return failed;
}

std::wstring CheckList::PlainReport() const
{
    std::wstring report;
    for (const CheckOutcome& outcome : outcomes_) {
        if (outcome.passed)
            report += L"ok      " + outcome.name + L"\n";
        else
            report += L"FAILED  " + outcome.name + L": " + outcome.detail + L"\n";
    }
    report += std::to_wstring(FailedCount()) + L" of " + std::to_wstring(outcomes_.size()) + L" checks failed\n";
    return report;
}

std::wstring CheckList::JUnitReport(const std::wstring& serverFile) const
{
    std::wstring report = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"" +
        XmlEscaped(serverFile) + L"\" tests=\"" + std::to_wstring(outcomes_.size()) + L"\" failures=\"" +
        std::to_wstring(FailedCount()) + L"\">\n";
    for (const CheckOutcome& outcome : outcomes_) {
        report += L"    <testcase classname=\"vrl-conform\" name=\"" + XmlEscaped(outcome.name) + L"\"";
        if (outcome.passed)
            report += L"/>\n";
        else
            report += L">\n      <failure message=\"" + XmlEscaped(outcome.detail) + L"\"/>\n    </testcase>\n";
    }
    return report + L"  </testsuite>\n</testsuites>\n";
}
