// Benchmark of the search of the fixed disks on trees that bench/search.sh
// makes (N directories, one file in each), each shown as M:, the only
// fixed drive:
//   a  a bare FindFirstFileA walk of the tree, in this process;
//   a' the walk the search makes (each directory entered as the current
//      directory and left by ".."), without the drain or the host calls;
//   b  SearchFixedDrives, with the recording host as the install thread's
//      callback (three host calls per directory, in this thread);
//   c  a [FILE] test line run by vurhost and the real server (the same
//      search, its host calls across processes);
//   d  a [TEXT] script of N lines run the same way: the same number of
//      cross-process calls, without the walk.
// Usage: bench_search UNIXFOLDER N [UNIXFOLDER N]...
#include "benchsupport.h"
#include "browser/disksearch.h"
#include "serverprocess.h"
#include "support/drives.h"
#include "support/recordinghost.h"
#include "support/testfiles.h"
#include "installer_h.h"
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kDrive[] = "M:";
const char kWaitLine[] = "< SetParameter TEXTMSG=Veuillez patienter pendant l'installation...";
const char kSpinner[] = "-...............................";

struct Tree {
    std::string unixFolder;
    size_t nDirs;
};

struct Row {
    size_t nDirs = 0;
    double a = 0, a2 = 0, b = 0, c = 0, d = 0;
};

void BareWalk(const std::string &dir, size_t *pnDirs)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != '.') {
            ++*pnDirs;
            BareWalk(dir + "\\" + fd.cFileName, pnDirs);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void CurrentDirectoryWalk(size_t *pnDirs)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("*.*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != '.' &&
            SetCurrentDirectoryA(fd.cFileName)) {
            ++*pnDirs;
            CurrentDirectoryWalk(pnDirs);
            SetCurrentDirectoryA("..");
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

double TimeWalk(size_t nDirs, bool bCurrentDirectory)
{
    size_t n = 0;
    double t0 = Now();
    if (bCurrentDirectory && SetCurrentDirectoryA("M:\\"))
        CurrentDirectoryWalk(&n);
    else if (!bCurrentDirectory)
        BareWalk(kDrive, &n);
    double t = Now() - t0;
    SetCurrentDirectoryA("C:\\");
    return n == nDirs ? t : -1;
}

double TimeSearch(size_t nDirs)
{
    RecordingHost host;
    std::unique_ptr<Installer> installer(new Installer);
    installer->m_pThreadCallback = &host;
    SoughtFile sought = { "absent.dll", 0, 0 };
    double t0 = Now();
    SearchFixedDrives(installer.get(), &sought, 1);
    double t = Now() - t0;
    installer->m_pThreadCallback = NULL;
    std::vector<std::string> calls = host.Calls();
    return (size_t)std::count(calls.begin(), calls.end(), "ExecuteCmd SETMSG") == nDirs + 1 ? t : -1;
}

// From the first line of the phase to the first line of the result report
// after it (vurhost writes a line as the call reaches it).
double TimeThroughVurhost(const TempDir &dir, const std::string &script, const char *pszFirstLine, size_t nDirs)
{
    std::string scriptPath = dir / "script.txt";
    WriteFileBytes(scriptPath, script);
    double tStart = 0, tEnd = 0, wall = 0;
    size_t nProgress = 0;
    long lExit = RunVurhostFollowing(scriptPath, "--timeout 3600", dir / "transcript.txt",
                                     [&](const std::string &line, double t) {
                                         if (tStart == 0 && line == pszFirstLine)
                                             tStart = t;
                                         else if (line == "< SetParameter NUMMSG=2")
                                             nProgress++;
                                         else if (tStart != 0 && tEnd == 0 && line == "< SetParameter TEXTMSG=")
                                             tEnd = t;
                                     }, &wall);
    return lExit == 0 && nProgress == nDirs && tEnd > tStart ? tEnd - tStart : -1;
}

std::string WithCommas(size_t n)
{
    std::string s = std::to_string(n);
    for (int i = (int)s.size() - 3; i > 0; i -= 3)
        s.insert((size_t)i, ",");
    return s;
}

bool MeasureTree(const Tree &tree, Row *pRow)
{
    SearchDrives drives;
    if (!drives.ok() || !drives.Map(kDrive[0], DRIVE_FIXED, tree.unixFolder)) {
        fprintf(stderr, "bench: cannot show %s as %s\n", tree.unixFolder.c_str(), kDrive);
        return false;
    }
    pRow->nDirs = tree.nDirs;
    TimeWalk(tree.nDirs, false);    // the first walk fills the system's caches
    // In-process figures: the best of two runs each.
    pRow->a = pRow->a2 = pRow->b = 1e30;
    for (int i = 0; i < 2; i++) {
        double a = TimeWalk(tree.nDirs, false), a2 = TimeWalk(tree.nDirs, true), b = TimeSearch(tree.nDirs);
        if (a < 0 || a2 < 0 || b < 0) {
            fprintf(stderr, "bench: a walk of %s did not see %zu directories\n", kDrive, tree.nDirs);
            return false;
        }
        pRow->a = std::min(pRow->a, a);
        pRow->a2 = std::min(pRow->a2, a2);
        pRow->b = std::min(pRow->b, b);
    }
    // Across processes: the best of two runs each, taken in turns, up to
    // 10,000 directories; one run each above (about ten minutes).
    TempDir dir;
    std::string text = "[TEXT]\r\n";
    for (size_t i = 0; i < tree.nDirs; i++)
        text += std::string("2;") + kSpinner + "\r\n";
    text += "[END]\r\n";
    const std::string firstText = std::string("< SetParameter TEXTMSG=") + kSpinner;
    pRow->c = pRow->d = 1e30;
    for (int i = 0; i < (tree.nDirs <= 10000 ? 2 : 1); i++) {
        double c = TimeThroughVurhost(dir, "[TEST]\r\n[FILE]\r\nabsent.dll\r\n[END]\r\n", kWaitLine, tree.nDirs);
        double d = TimeThroughVurhost(dir, text, firstText.c_str(), tree.nDirs);
        if (c < 0 || d < 0) {
            fprintf(stderr, "bench: a vurhost run on %zu directories did not complete\n", tree.nDirs);
            return false;
        }
        pRow->c = std::min(pRow->c, c);
        pRow->d = std::min(pRow->d, d);
    }
    return true;
}

}

int main(int argc, char **argv)
{
    std::vector<Tree> trees;
    for (int i = 1; i + 1 < argc; i += 2)
        trees.push_back({ argv[i], (size_t)strtoul(argv[i + 1], NULL, 10) });
    if (trees.empty()) {
        fprintf(stderr, "usage: bench_search UNIXFOLDER N [UNIXFOLDER N]...\n");
        return 2;
    }
    CoInitialize(NULL);
    if (RegisteredServerName(CLSID_Installer).empty()) {
        fprintf(stderr, "bench: Installer is not registered (run installer.exe /RegServer first)\n");
        return 1;
    }
    printf("Search of the fixed disks: trees of N directories with one file each, shown as %s,\n"
           "the only fixed drive (times in seconds)\n\n", kDrive);
    printf("%11s %8s %8s %8s %9s %9s %6s %6s %8s\n", "directories", "a walk", "a' cwd", "b search", "c vurhost",
           "d calls", "b/a", "b/a'", "c/(a+d)");
    std::vector<Row> rows;
    for (const Tree &tree : trees) {
        Row row;
        if (!MeasureTree(tree, &row))
            return 1;
        printf("%11s %8.3f %8.3f %8.3f %9.3f %9.3f %6.2f %6.2f %8.2f\n", WithCommas(row.nDirs).c_str(), row.a,
               row.a2, row.b, row.c, row.d, row.b / row.a, row.b / row.a2, row.c / (row.a + row.d));
        fflush(stdout);
        rows.push_back(row);
    }
    // Growth between the last two trees, per the growth in directories.
    if (rows.size() >= 2) {
        const Row &r0 = rows[rows.size() - 2], &r1 = rows.back();
        double k = (double)r1.nDirs / (double)r0.nDirs;
        printf("\nfrom %s to %s directories (x%.0f): a x%.1f, a' x%.1f, b x%.1f, c x%.1f, d x%.1f\n",
               WithCommas(r0.nDirs).c_str(), WithCommas(r1.nDirs).c_str(), k, r1.a / r0.a, r1.a2 / r0.a2,
               r1.b / r0.b, r1.c / r0.c, r1.d / r0.d);
    }
    CoUninitialize();
    return 0;
}
