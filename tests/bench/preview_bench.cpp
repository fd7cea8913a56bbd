// Timings of the level preview and of the dialog's start-up, measured on the
// real dialog in a scratch game folder. Not a test: it prints figures and the
// targets they are held against, and fails only when it cannot measure.
//
//   preview_bench [--loads N] [--levels N] [--program PATH\vblLM.exe]
//
// Preview: the dialog with the viewer ticked switches between two levels of
// one picture size, for each size from 407 x 263 (what the viewer shows at
// the usual font size) up to 8192 x 8192; each sample is the time from the
// selection change until the bitmap has been painted (the load paints before
// it returns; GdiFlush makes sure the blit has left the batch). Each size's
// median is printed as a ratio to the 407 x 263 one of the same run, with the
// process's peak private memory so far, sampled every millisecond during a
// few more loads of that size. Start-up: the dialog is created in a folder of
// N level archives, from the create call until the list holds all of them;
// with --program, also the program itself is started there, until its
// window's list holds them.
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

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
#include "preview/pcx_decoder.h"
#include "preview/preview_bitmap.h"
#include "preview/preview_load.h"
#include "resource.h"

namespace {

constexpr double kStartupTargetMs = 1500.0;
// Peak private memory may grow this much from the smallest picture to the
// largest.
constexpr double kMemoryGrowthTargetMiB = 16.0;

// The pictures, 8-bit version 5 RLE with a 256-colour trailer unless they
// have 3 planes (24-bit). The first is the reference of the ratios; a
// target of 0 means none.
struct BenchPicture {
    const char* what;
    int width, height, planes;
    double ratioTarget;
};
const BenchPicture kPictures[] = {
    {"407x263", 407, 263, 1, 0},      {"1920x1080", 1920, 1080, 1, 0},
    {"3840x2160", 3840, 2160, 1, 4},  {"3840x2160 24-bit (3 planes)", 3840, 2160, 3, 6},
    {"8192x8192", 8192, 8192, 1, 20},
};

double NowMs()
{
    static LARGE_INTEGER s_freq = {};
    if (s_freq.QuadPart == 0) QueryPerformanceFrequency(&s_freq);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(s_freq.QuadPart);
}

// A level archive whose only entry is a version 5 PCX of the given size, each
// plane's pixels a diagonal pattern in runs of 16 (about 8 decoded bytes to
// one stored, as in level pictures). Encoded a scan line at a time, so that
// no decoded picture is ever held here.
std::string BenchArchive(int width, int height, int planes, int seed)
{
    const PcxFields f = PcxShape(8, planes, width, height, (width + 1) & ~1);
    Bytes pcx = PcxHeader(f);
    Bytes line(static_cast<size_t>(f.bytesPerLine) * static_cast<size_t>(planes));
    for (int y = 0; y < height; ++y) {
        for (size_t i = 0; i < line.size(); ++i) {
            const int p = static_cast<int>(i / static_cast<size_t>(f.bytesPerLine));
            const int x = static_cast<int>(i % static_cast<size_t>(f.bytesPerLine));
            line[i] = static_cast<uint8_t>(x / 16 + y + seed + 85 * p);
        }
        const Bytes encoded = PcxEncode(line);
        pcx.insert(pcx.end(), encoded.begin(), encoded.end());
    }
    if (planes == 1) {
        pcx.push_back(12);
        for (int k = 0; k < 256; ++k)
            pcx.insert(pcx.end(),
                       {static_cast<uint8_t>(k), static_cast<uint8_t>(k * 3 + seed), static_cast<uint8_t>(255 - k)});
    }
    return AsString(LevelArchive({{NameField("level.pcx"), pcx}}));
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

// The process's private memory (its commit charge, PagefileUsage: Wine fills
// no PrivateUsage), sampled every millisecond on a thread of its own while it
// runs, since on Wine the peak it reports is only the present figure; the
// peak stays from one sampling to the next.
class MemorySampler {
public:
    MemorySampler() { thread_ = CreateThread(nullptr, 0, Loop, this, 0, nullptr); }
    ~MemorySampler()
    {
        InterlockedExchange(&stop_, 1);
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
    }
    MemorySampler(const MemorySampler&) = delete;
    MemorySampler& operator=(const MemorySampler&) = delete;
    static SIZE_T Now()
    {
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof pmc;
        GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
        return pmc.PagefileUsage;
    }
    static double PeakMiB() { return static_cast<double>(s_peak) / (1024.0 * 1024.0); }

private:
    static DWORD WINAPI Loop(void* pv)
    {
        auto* self = static_cast<MemorySampler*>(pv);
        while (InterlockedCompareExchange(&self->stop_, 0, 0) == 0) {
            s_peak = std::max(s_peak, Now());
            Sleep(1);
        }
        s_peak = std::max(s_peak, Now());
        return 0;
    }
    static inline SIZE_T s_peak = 0;
    HANDLE thread_ = nullptr;
    LONG volatile stop_ = 0;
};

// One preview load through the dialog, as a selection change in its list.
double TimedLoad(HWND hDlg, int nIndex, bool* pOk)
{
    HWND hList = GetDlgItem(hDlg, IDC_LEVELLIST);
    SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    const double t0 = NowMs();
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LEVELLIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hList));
    GdiFlush();
    const double ms = NowMs() - t0;
    *pOk = *pOk && g_hBitmap != nullptr;
    PumpMessages(hDlg);
    return ms;
}

// Where a load's time goes: the archive lookup and decoding (of the corner
// that the dialog shows, as the load decodes it), the conversion to a device
// bitmap, and the blit, each timed on its own.
void ReportStages(HWND hDlg, const std::string& one, const std::string& two, int nLoads)
{
    std::vector<double> extract, convert, paint;
    PcxClip corner;
    const bool bClipped = MeasurePreviewCorner(hDlg, &corner);
    for (int i = 0; i < nLoads; ++i) {
        HBITMAP hDib = nullptr;
        double t0 = NowMs();
        ExtractLevelPcx(i % 2 ? one.c_str() : two.c_str(), &hDib, bClipped ? &corner : nullptr);
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
    std::printf("    of which (medians): lookup and decoding %.2f ms, conversion %.2f ms, painting %.2f ms\n",
                Median(extract), Median(convert), Median(paint));
}

bool BenchPreview(int nLoads)
{
    GameFolder folder;
    const size_t nPictures = sizeof kPictures / sizeof kPictures[0];
    std::vector<std::string> names;
    std::vector<size_t> fileBytes;
    for (size_t i = 0; i < nPictures; ++i) {
        const BenchPicture& pic = kPictures[i];
        for (int seed = 1; seed <= 2; ++seed) {
            const std::string name = "p" + std::to_string(i) + (seed == 1 ? "a" : "b");
            const std::string archive = BenchArchive(pic.width, pic.height, pic.planes, seed);
            folder.AddFile("levels\\" + name + ".dat", archive);
            names.push_back(name);
            if (seed == 1) fileBytes.push_back(archive.size());
        }
    }
    HWND hDlg = CreateMainDialog();
    bool bOk = hDlg != nullptr;
    if (bOk) Click(hDlg, IDC_VIEWER);
    std::printf("preview load (median of %d, from the selection change until painted):\n", nLoads);
    std::printf("  %-28s %9s %10s %10s %12s  %s\n", "picture", "file", "load", "x 407x263", "peak private", "target");
    double referenceMs = 0;
    double referenceMiB = 0;
    for (size_t i = 0; i < nPictures && bOk; ++i) {
        const BenchPicture& pic = kPictures[i];
        const int nOne =
            static_cast<int>(SendDlgItemMessageA(hDlg, IDC_LEVELLIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                 reinterpret_cast<LPARAM>(names[2 * i].c_str())));
        std::vector<double> samples;
        for (int n = 0; n < nLoads + 2 && bOk; ++n) {
            const double ms = TimedLoad(hDlg, nOne + n % 2, &bOk);
            if (n >= 2) samples.push_back(ms);  // the first two warm the file cache
        }
        {
            MemorySampler sampler;
            for (int n = 0; n < 4 && bOk; ++n) TimedLoad(hDlg, nOne + n % 2, &bOk);
        }
        if (!bOk) break;
        const double median = Median(samples);
        if (i == 0) {
            referenceMs = median;
            referenceMiB = MemorySampler::PeakMiB();
        }
        const double ratio = median / referenceMs;
        char szTarget[64] = "";
        if (pic.ratioTarget > 0)
            std::snprintf(szTarget, sizeof szTarget, "<= %.0fx: %s", pic.ratioTarget,
                          ratio <= pic.ratioTarget ? "met" : "MISSED");
        std::printf("  %-28s %6.2f MB %7.2f ms %9.1fx %8.1f MiB  %s\n", pic.what,
                    static_cast<double>(fileBytes[i]) / 1e6, median, ratio, MemorySampler::PeakMiB(), szTarget);
        ReportStages(hDlg, names[2 * i], names[2 * i + 1], std::max(3, std::min(nLoads, 9)));
    }
    if (bOk) {
        const double growth = MemorySampler::PeakMiB() - referenceMiB;
        std::printf("  peak private memory grew %.1f MiB from the first picture to the last (target <= %.0f MiB: %s)\n",
                    growth, kMemoryGrowthTargetMiB, growth <= kMemoryGrowthTargetMiB ? "met" : "MISSED");
    }
    if (hDlg != nullptr) CloseMainDialog(hDlg);
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
    const std::string small = BenchArchive(8, 8, 1, 0);
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
    int nLoads = 21;
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
