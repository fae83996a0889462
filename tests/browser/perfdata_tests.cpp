// The Windows NT process listing on data (Wine's performance data has no
// process object): the counter names and program names (rows of
// names.txt), the growing query and the walk over blocks built here with
// the published structures.
#include "browser/perfdata.h"
#include "casefiles.h"
#include <gtest/gtest.h>
#include <winperf.h>

#define ID_COUNTER 784

// The rows of names.txt: the name tests of both listings and the counter
// names of the Windows NT one.
TEST(ProcessNames, EachRowGivesItsResult)
{
    std::vector<std::vector<std::string>> rows = ReadTable(VUR_BROWSER_DATA "/names.txt");
    ASSERT_GE(rows.size(), 15u);
    for (const std::vector<std::string> &row : rows) {
        SCOPED_TRACE(row[0] + " " + row[1].substr(0, 80));
        if (row[0] == "ProcessNameMatches") {
            EXPECT_EQ(row[3], std::to_string(ProcessNameMatches(row[1].c_str(), row[2].c_str())));
        } else if (row[0] == "StoreProgramName") {
            ProcessRecord record;
            memset(&record, 0xbd, sizeof record);
            StoreProgramName(&record, row[1].c_str());
            EXPECT_EQ(row[2], record.name);
            EXPECT_EQ('\xbd', record.name[row[2].size() + 1]) << "written past the name";
        } else {
            char szObject[PERF_INDEX_TEXT] = "";
            DWORD dwIdCounter = 0;
            std::vector<char> list(row[1].begin(), row[1].end());   // exactly its bytes
            EXPECT_EQ(row[2], std::to_string(FindProcessCounters(list.data(), (DWORD)list.size(), szObject, &dwIdCounter)));
            EXPECT_EQ(row[3], szObject);
            EXPECT_EQ(row[4], std::to_string(dwIdCounter));
        }
    }
}

// A process object as Windows NT lays it out: three counter definitions
// (the id counter second; ByteLength 44 where the layout steps 40), then per
// instance its definition, its name and its counter block (a 64-bit counter
// at 8, the id at 16).
struct Instance { std::wstring name; DWORD dwId; };
template <class T> static void Put(std::string &data, const T &value) { data.append((const char *)&value, sizeof value); }

static std::string PerfBlock(const std::vector<Instance> &instances)
{
    PERF_DATA_BLOCK block = {};
    memcpy(block.Signature, L"PERF", sizeof block.Signature);
    block.HeaderLength = sizeof block;
    PERF_OBJECT_TYPE object = {};
    object.HeaderLength = sizeof object;
    object.DefinitionLength = sizeof object + 3 * 40;
    object.NumCounters = 3;
    object.NumInstances = (LONG)instances.size();
    std::string data;
    Put(data, block);
    Put(data, object);
    for (DWORD dwIndex : { 6, ID_COUNTER, 1410 }) {
        PERF_COUNTER_DEFINITION counter = {};
        counter.ByteLength = 44;
        counter.CounterNameTitleIndex = dwIndex;
        counter.CounterOffset = dwIndex == ID_COUNTER ? 16 : 8;
        Put(data, counter);
    }
    for (const Instance &instance : instances) {
        DWORD cbName = (DWORD)(instance.name.size() + 1) * 2, cbPadded = (cbName + 7) & ~7u;
        PERF_INSTANCE_DEFINITION definition = {};
        definition.ByteLength = sizeof definition + cbPadded;
        definition.NameOffset = sizeof definition;
        definition.NameLength = cbName;
        Put(data, definition);
        data.append((const char *)instance.name.c_str(), cbName).append(cbPadded - cbName, '\0');
        const DWORD adwCounterBlock[] = { 24, 0, 0x55667788, 0x11223344, instance.dwId, 0 };
        Put(data, adwCounterBlock);
    }
    return data;
}

// Walks exactly the bytes of data into uCapacity records, followed by a
// record that must stay as it was.
static UINT Walk(const std::string &data, UINT uCapacity, std::vector<ProcessRecord> *pTable,
                 DWORD dwIdCounter = ID_COUNTER)
{
    pTable->assign(uCapacity + 1, ProcessRecord());
    memset(pTable->data(), 0xbd, pTable->size() * sizeof(ProcessRecord));
    std::vector<BYTE> bytes(data.begin(), data.end());
    return WalkProcessPerfData(bytes.data(), (DWORD)bytes.size(), dwIdCounter, pTable->data(), uCapacity);
}

// One block holds every case: the names of the system's own instances, a
// name that converts into 256 bytes or more, one that does not convert.
TEST(PerfDataWalk, ListsEachInstanceInsideTheDataAsAProgramWithItsId)
{
    std::vector<Instance> instances = {{L"Idle", 0}, {L"System", 4}, {L"iexplore", 1234}, {L"caf\u00e9", 77}, {L"_Total", 0}};
    for (size_t cch : { 255, 256, 259, 260, 5000 })
        instances.push_back({std::wstring(cch, L'a'), 9});
    const std::string data = PerfBlock(instances), a255 = std::string(255, 'a') + ".exe";
    // 256 and 259 convert but leave no room for ".exe": a record without a
    // name, which matches nothing; 260 and more do not convert into 260 bytes.
    const char *const apszNames[] = { "Idle.exe", "System.exe", "iexplore.exe", "caf\xe9.exe", "_Total.exe",
                                      a255.c_str(), "", "", "unknown", "unknown" };
    const DWORD adwIds[] = { NO_PROCESS_ID, 4, 1234, 77, NO_PROCESS_ID, 9, 9, 9, 9, 9 };
    std::vector<ProcessRecord> table;
    for (UINT uCapacity : { 500, 10, 1, 0 }) {
        SCOPED_TRACE(uCapacity);
        UINT uCount = Walk(data, uCapacity, &table);
        ASSERT_EQ(std::min(uCapacity ? uCapacity - 1 : 0, 10u), uCount) << "at most capacity - 1 records";
        for (UINT i = 0; i < uCount; i++) {
            EXPECT_STREQ(apszNames[i], table[i].name);
            EXPECT_EQ(adwIds[i], table[i].processId);
            EXPECT_EQ(nullptr, table[i].window);
        }
        EXPECT_EQ(0xbdbdbdbdu, table[uCount].processId) << "record past the count written";
    }
    // Without a counter definition of the id index no id is known, and no name kept.
    ASSERT_EQ(10u, Walk(data, 500, &table, 9999));
    for (UINT i = 0; i < 10; i++)
        EXPECT_TRUE(table[i].name[0] == '\0' && table[i].processId == NO_PROCESS_ID) << i;

    EXPECT_EQ(0u, Walk(std::string(data).replace(6, 1, "X"), 500, &table)) << "signature PERX";
    UINT uLast = 0;
    for (size_t cb = 0; cb <= data.size(); cb++) {
        UINT uCount = Walk(data.substr(0, cb), 500, &table);
        ASSERT_LE(uLast, uCount) << cb << " bytes";
        uLast = uCount;
    }
    EXPECT_EQ(10u, uLast);
    // The last instance's process id ends 4 bytes before the block: a
    // value that ends exactly at the end of the data is read.
    EXPECT_EQ(10u, Walk(data.substr(0, data.size() - 4), 500, &table));
    EXPECT_EQ(9u, Walk(data.substr(0, data.size() - 5), 500, &table));
}

// Answers the performance-data query from a script and keeps the sizes asked for.
static std::vector<LONG> s_answers;
static std::vector<DWORD> s_asked;
static std::string s_data, s_asking;

static LONG WINAPI ScriptedQuery(HKEY hKey, LPCSTR pszValue, LPDWORD, LPDWORD, LPBYTE pbData, LPDWORD pcbData)
{
    LONG lAnswer = s_answers[std::min(s_asked.size(), s_answers.size() - 1)];
    s_asked.push_back(*pcbData);
    s_asking = hKey == HKEY_PERFORMANCE_DATA ? pszValue : "(another key)";
    if (lAnswer == ERROR_SUCCESS) {
        memcpy(pbData, s_data.data(), s_data.size());
        *pcbData = (DWORD)s_data.size();
    }
    return lAnswer;
}

TEST(PerfDataQuery, GrowsTheBufferWhileTheAnswerIsMoreData)
{
    const struct {
        std::vector<LONG> answers;
        size_t nAsked;
        UINT uCount;
    } cases[] = {
        {{ERROR_MORE_DATA, ERROR_MORE_DATA, ERROR_SUCCESS}, 3, 3},
        {{ERROR_MORE_DATA, ERROR_ACCESS_DENIED}, 2, 0},
        {{ERROR_MORE_DATA}, (PERF_BUFFER_LIMIT - PERF_BUFFER_START) / PERF_BUFFER_STEP + 1, 0},  // never enough
    };
    s_data = PerfBlock({{L"System", 4}, {L"iexplore", 1234}, {L"netscape", 77}});
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        s_answers = c.answers;
        s_asked.clear();
        ProcessRecord table[10];
        EXPECT_EQ(c.uCount, ReadProcessPerfData(ScriptedQuery, "230", ID_COUNTER, table, 10));
        EXPECT_EQ("230", s_asking);
        ASSERT_EQ(c.nAsked, s_asked.size());
        for (size_t i = 0; i < c.nAsked; i++)
            ASSERT_EQ(51200u + 25600u * i, s_asked[i]) << "try " << i;
    }
}
