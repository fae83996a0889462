// Parameters the host sets, and what the object answers.
#include "support/harness.h"
#include "host/bstr.h"
#include <gtest/gtest.h>

TEST(SetParameter, NamesCompareWithoutCaseAndNumbersReadLikeAtol)
{
    InstallerHarness h;
    h.Set("file", "script.txt");
    EXPECT_STREQ("script.txt", h.Object()->m_szFile);
    struct Row { const char *value; LONG expected; } rows[] = {
        { "42", 42 }, { " -7", -7 }, { "12abc", 12 }, { "abc", 0 },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        h.Set("JobId", r.value);
        h.Set("APPID", r.value);
        EXPECT_EQ(r.expected, h.Object()->m_lJobId);
        EXPECT_EQ(r.expected, h.Object()->m_lAppId);
    }
    h.Set("RESURL1", "u1");
    h.Set("resurl2", "u2");
    h.Set("ERRURL", "e");
    h.Set("RESFRM1", "f1");
    h.Set("RESFRM2", "f2");
    h.Set("ERRFRM", "ef");
    h.Set("DLPATH", "p");
    h.Set("DLURL", "d");
    Installer *p = h.Object();
    EXPECT_STREQ("u1", p->m_szResUrl1);
    EXPECT_STREQ("u2", p->m_szResUrl2);
    EXPECT_STREQ("e", p->m_szErrUrl);
    EXPECT_STREQ("f1", p->m_szResFrm1);
    EXPECT_STREQ("f2", p->m_szResFrm2);
    EXPECT_STREQ("ef", p->m_szErrFrm);
    EXPECT_STREQ("p", p->m_szDlPath);
    EXPECT_STREQ("d", p->m_szDlUrl);
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

TEST(SetParameter, NullValueLeavesTextFieldsAndReadsNumbersAsZero)
{
    InstallerHarness h;
    h.Set("FILE", "kept");
    h.Set("JOBID", "9");
    BSTR name = SysAllocString(L"FILE");
    h.Object()->SetParameter(name, NULL);
    SysFreeString(name);
    EXPECT_STREQ("kept", h.Object()->m_szFile);
    name = SysAllocString(L"JOBID");
    h.Object()->SetParameter(name, NULL);
    SysFreeString(name);
    EXPECT_EQ(0, h.Object()->m_lJobId);
    EXPECT_EQ(S_OK, h.Object()->SetParameter(NULL, NULL));
}

TEST(SetParameter, LatinOneTextArrivesAsCodePage1252Bytes)
{
    InstallerHarness h;
    BSTR name = SysAllocString(L"RESURL1");
    BSTR value = SysAllocString(L"d\x00e9j\x00e0");
    h.Object()->SetParameter(name, value);
    SysFreeString(value);
    SysFreeString(name);
    EXPECT_STREQ("d\xE9j\xE0", h.Object()->m_szResUrl1);
}

TEST(GetParameter, GivesANullValue)
{
    InstallerHarness h;
    h.Set("FILE", "x");
    BSTR name = SysAllocString(L"FILE");
    BSTR value = SysAllocString(L"sentinel");
    BSTR before = value;
    EXPECT_EQ(S_OK, h.Object()->GetParameter(name, &value));
    EXPECT_EQ(nullptr, value);
    SysFreeString(before);
    SysFreeString(name);
    EXPECT_EQ(S_OK, h.Object()->GetParameter(NULL, NULL));
}

TEST(Bstr, FromBstrStopsAtNulAndKeepsNull)
{
    EXPECT_EQ(nullptr, FromBstr(NULL));
    BSTR b = SysAllocStringLen(L"ab\0cd", 5);
    char *t = FromBstr(b);
    EXPECT_STREQ("ab", t);
    FreeText(t);
    SysFreeString(b);
    b = SysAllocString(L"");
    t = FromBstr(b);
    EXPECT_STREQ("", t);
    FreeText(t);
    SysFreeString(b);
}
