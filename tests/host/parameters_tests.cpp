// Parameters the host sets, what the object answers, and the BSTR helpers.
#include "support/harness.h"
#include "host/bstr.h"
#include <gtest/gtest.h>

TEST(SetParameter, NamesCompareWithoutCaseAndNumbersReadLikeAtol)
{
    InstallerHarness h;
    Installer *p = h.Object();
    const struct { const char *name; const char *field; } texts[] = {
        { "file", p->m_szFile }, { "RESURL1", p->m_szResUrl1 }, { "resurl2", p->m_szResUrl2 }, { "ErrUrl", p->m_szErrUrl },
        { "RESFRM1", p->m_szResFrm1 }, { "RESFRM2", p->m_szResFrm2 }, { "ERRFRM", p->m_szErrFrm },
        { "DLPATH", p->m_szDlPath }, { "DLURL", p->m_szDlUrl },
    };
    for (const auto &t : texts) {
        h.Set(t.name, std::string("value of ") + t.name);
        EXPECT_EQ(std::string("value of ") + t.name, t.field);
    }
    h.Set("JobId", " -7x");
    h.Set("APPID", "12abc");
    EXPECT_EQ(-7, p->m_lJobId);
    EXPECT_EQ(12, p->m_lAppId);
    h.Set("UNKNOWN", "x");
    EXPECT_TRUE(h.host.Calls().empty()) << "setting parameters sends nothing";
}

TEST(SetParameter, LongValuesAreCutTo255Characters)
{
    InstallerHarness h;
    Installer *p = h.Object();
    for (size_t len : { (size_t)255, (size_t)256, (size_t)5000, (size_t)40000 }) {
        SCOPED_TRACE(len);
        memset(p->m_szResUrl2, 0xbd, sizeof p->m_szResUrl2);
        char guard = p->m_szErrUrl[0];
        h.Set("RESURL1", std::string(len, 'x'));
        h.Set("RESURL2", std::string(len, 'y'));
        EXPECT_EQ(std::string(255, 'x'), p->m_szResUrl1);
        EXPECT_EQ(std::string(255, 'y'), p->m_szResUrl2);
        EXPECT_EQ(guard, p->m_szErrUrl[0]) << "the next field is untouched";
    }
}

// NULL names and values, Latin-1 text, and GetParameter, which gives nothing.
TEST(SetParameter, OddValuesAndGetParameter)
{
    InstallerHarness h;
    Installer *p = h.Object();
    h.Set("FILE", "kept");
    h.Set("JOBID", "9");
    for (const wchar_t *pszName : { L"FILE", L"JOBID", L"RESURL1" }) {
        BSTR name = SysAllocString(pszName), value = SysAllocString(L"d\x00e9j\x00e0");
        EXPECT_EQ(S_OK, p->SetParameter(name, pszName[0] == L'R' ? value : NULL));
        BSTR got = value;
        EXPECT_EQ(S_OK, p->GetParameter(name, &got));
        EXPECT_EQ(nullptr, got) << "GetParameter gives a null value";
        SysFreeString(value);
        SysFreeString(name);
    }
    EXPECT_STREQ("kept", p->m_szFile) << "a null value leaves a text field";
    EXPECT_EQ(0, p->m_lJobId) << "and reads as number 0";
    EXPECT_STREQ("d\xE9j\xE0", p->m_szResUrl1) << "Latin-1 text arrives as code page 1252 bytes";
    EXPECT_EQ(S_OK, p->SetParameter(NULL, NULL));
    EXPECT_EQ(S_OK, p->GetParameter(NULL, NULL));
}

TEST(Bstr, ToBstrCountsTheNulAndFromBstrStopsAtNul)
{
    BSTR b = ToBstr("AB");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(0, memcmp(L"AB", b, 3 * sizeof(WCHAR)));
    SysFreeString(b);
    EXPECT_EQ(nullptr, FromBstr(NULL));
    for (const char *pszText : { "ab\0cd", "" }) {
        b = SysAllocStringLen(pszText[0] ? L"ab\0cd" : L"", pszText[0] ? 5 : 0);
        char *t = FromBstr(b);
        EXPECT_STREQ(pszText, t);
        FreeText(t);
        SysFreeString(b);
    }
}
