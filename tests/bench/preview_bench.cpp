// Timings of the level preview and of the dialog's start-up, measured on the
// real dialog in a scratch game folder. Not a test: it prints figures and the
// targets they are held against, and fails only when it cannot measure.
//
//   preview_bench [--loads N] [--levels N] [--program PATH\vblLM.exe]
//
// Preview: the dialog with the viewer ticked switches between two 640 x 480,
// 8-bit levels; each sample is the time from the selection change until the
// bitmap has been painted (the load paints before it returns; GdiFlush makes
// sure the blit has left the batch). Start-up: the dialog is created in a
// folder of N level archives, from the create call until the list holds all
// of them; with --program, also the program itself is started there, until
// its window's list holds them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/level_list.h"
#include "dialog_driver.h"
#include "main/main_dialog.h"
#include "pcx_writer.h"
#include "preview/level_archive.h"
#include "preview/preview_bitmap.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

constexpr double kPreviewTargetMs = 5.0;
constexpr double kStartupTargetMs = 1500.0;

double NowMs()
{
    static LARGE_INTEGER s_freq = {};
    if (s_freq.QuadPart == 0) QueryPerformanceFrequency(&s_freq);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(s_freq.QuadPart);
}

// A level archive whose only entry is an 8-bit, version 5 PCX of the given
// size with a 256-colour trailer, its pixels a diagonal pattern in runs of 8.
std::string BenchArchive(int width, int height, int seed)
{
    PcxFields f;
    f.xmax = static_cast<int16_t>(width - 1);
    f.ymax = static_cast<int16_t>(height - 1);
    f.bytesPerLine = static_cast<int16_t>(width);
    Bytes decoded;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) decoded.push_back(static_cast<uint8_t>(x / 8 + y + seed));
    }
    Bytes trailer;
    for (int k = 0; k < 256; ++k) {
        trailer.insert(trailer.end(),
                       {static_cast<uint8_t>(k), static_cast<uint8_t>(k * 3 + seed), static_cast<uint8_t>(255 - k)});
    }
    return AsString(LevelArchive({{NameField("level.pcx"), PcxFile(f, decoded, &trailer)}}));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

void Report(const char* what, const std::vector<double>& samples, double targetMs)
{
    const double median = Median(samples);
    std::printf("%-34s median %8.2f ms  min %8.2f  p90 %8.2f  max %8.2f  (n=%zu, target <= %.1f ms: %s)\n", what,
                median, *std::min_element(samples.begin(), samples.end()), Percentile(samples, 0.9),
                *std::max_element(samples.begin(), samples.end()), samples.size(), targetMs,
                median <= targetMs ? "met" : "MISSED");
}

// Where a load's time goes: the archive lookup and decoding, the conversion
// to a device bitmap, and the blit, each timed on its own.
void ReportStages(HWND hDlg, int nLoads)
{
    std::vector<double> extract, convert, paint;
    for (int i = 0; i < nLoads; ++i) {
        HBITMAP hDib = nullptr;
        double t0 = NowMs();
        ExtractLevelPcx(i % 2 ? "one" : "two", &hDib);
        extract.push_back(NowMs() - t0);
        if (hDib == nullptr) return;
        t0 = NowMs();
        HBITMAP hBitmap = DibToBitmap(hDib, hDlg);
        GdiFlush();
        convert.push_back(NowMs() - t0);
        GlobalFree(reinterpret_cast<HGLOBAL>(hDib));
        if (hBitmap == nullptr) return;
        t0 = NowMs();
        Paint(hBitmap, hDlg);
        GdiFlush();
        paint.push_back(NowMs() - t0);
        DeleteObject(hBitmap);
    }
    std::printf("  of which (medians): lookup and decoding %.2f ms, conversion %.2f ms, painting %.2f ms\n",
                Median(extract), Median(convert), Median(paint));
}

bool BenchPreview(int nLoads)
{
    GameFolder folder;
    folder.AddFile("levels\\one.dat", BenchArchive(640, 480, 1));
    folder.AddFile("levels\\two.dat", BenchArchive(640, 480, 2));
    HWND hDlg = CreateMainDialog();
    bool bOk = hDlg != nullptr;
    if (bOk) {
        Click(hDlg, IDC_VIEWER);
        HWND hList = GetDlgItem(hDlg, IDC_LEVELLIST);
        std::vector<double> samples;
        for (int i = 0; i < nLoads + 2 && bOk; ++i) {
            SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(i % 2), 0);
            const double t0 = NowMs();
            SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LEVELLIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hList));
            GdiFlush();
            const double t1 = NowMs();
            bOk = g_hBitmap != nullptr;
            if (i >= 2) samples.push_back(t1 - t0);  // the first two warm the file cache
            PumpMessages(hDlg);
        }
        if (bOk) Report("preview load, 640x480 8-bit", samples, kPreviewTargetMs);
        if (bOk) ReportStages(hDlg, nLoads);
        CloseMainDialog(hDlg);
    }
    if (!bOk) std::fprintf(stderr, "preview_bench: the preview could not be loaded\n");
    return bOk;
}

LRESULT ListCount(HWND hDlg)
{
    return SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_GETCOUNT, 0, 0);
}

// The program's own main window in this session, once its list is filled.
struct FindArgs {
    DWORD dwProcess;
    HWND hFound;
};

BOOL CALLBACK FindProgramWindow(HWND hWnd, LPARAM lParam)
{
    auto* pArgs = reinterpret_cast<FindArgs*>(lParam);
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == pArgs->dwProcess && GetDlgItem(hWnd, IDC_LEVELLIST) != nullptr) {
        pArgs->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Starts the program in dir and returns the milliseconds until its list
// holds nLevels entries; negative when it does not get there in 60 s.
double TimeProgramStart(const std::string& program, const std::string& dir, int nLevels)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + program + "\"";
    const double t0 = NowMs();
    if (!CreateProcessA(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
        return -1;
    double ms = -1;
    FindArgs args = {pi.dwProcessId, nullptr};
    while (NowMs() - t0 < 60000) {
        if (args.hFound == nullptr) EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&args));
        if (args.hFound != nullptr && ListCount(args.hFound) == nLevels) {
            ms = NowMs() - t0;
            break;
        }
        Sleep(1);
    }
    if (args.hFound != nullptr) PostMessageA(args.hFound, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

bool BenchStartup(int nLevels, const char* pszProgram)
{
    GameFolder folder;
    // The archives' contents play no part in listing them.
    const std::string small = BenchArchive(8, 8, 0);
    for (int i = 0; i < nLevels; ++i) {
        char szName[32];
        std::snprintf(szName, sizeof szName, "levels\\lvl%05d.dat", i);
        folder.AddFile(szName, small);
    }
    bool bOk = true;
    std::vector<double> inProcess;
    for (int run = 0; run < 5 && bOk; ++run) {
        const double t0 = NowMs();
        HWND hDlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDlgProc, 0);
        const double t1 = NowMs();
        bOk = hDlg != nullptr && ListCount(hDlg) == nLevels;
        if (bOk) inProcess.push_back(t1 - t0);
        if (hDlg != nullptr) CloseMainDialog(hDlg);
        g_nNumberLevels = 0;  // as at the program's start, for the next run
    }
    char szWhat[64];
    std::snprintf(szWhat, sizeof szWhat, "dialog start-up, %d levels", nLevels);
    if (bOk) Report(szWhat, inProcess, kStartupTargetMs);
    if (bOk && pszProgram != nullptr) {
        std::vector<double> started;
        for (int run = 0; run < 3 && bOk; ++run) {
            const double ms = TimeProgramStart(pszProgram, folder.Path(), nLevels);
            bOk = ms >= 0;
            if (bOk) started.push_back(ms);
        }
        std::snprintf(szWhat, sizeof szWhat, "program start-up, %d levels", nLevels);
        if (bOk) Report(szWhat, started, kStartupTargetMs);
    }
    if (!bOk) std::fprintf(stderr, "preview_bench: the start-up could not be measured\n");
    return bOk;
}

}  // namespace

int main(int argc, char** argv)
{
    int nLoads = 100;
    int nLevels = 10000;
    const char* pszProgram = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--loads") == 0)
            nLoads = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--levels") == 0)
            nLevels = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--program") == 0)
            pszProgram = argv[i + 1];
    }
    const bool bPreview = BenchPreview(nLoads);
    const bool bStartup = BenchStartup(nLevels, pszProgram);
    return bPreview && bStartup ? 0 : 1;
}
