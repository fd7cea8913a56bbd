#!/usr/bin/env python3
"""Checks the shipped 32-bit vblLM.exe without running it: a PE32 i386 GUI
program importing only system DLLs, carrying dialog 101, icon group 1,
version record 1 and manifest 1 exactly as the program needs them.
OldestWindowsTest alone also checks vbltool.exe: check_product.py EXE OldestWindowsTest"""
import os
import re
import struct
import sys
import unittest
import xml.etree.ElementTree as ET

EXE = sys.argv.pop(1) if len(sys.argv) > 1 else 'build/win32/vblLM.exe'
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_EN_US = 0x0409
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'CMakeLists.txt')) as f:
    VERSION = re.search(r'project\(vblLM VERSION ([0-9.]+)', f.read()).group(1)  # the one copy of the version
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'shell32.dll', 'msvcrt.dll',
               'advapi32.dll', 'comctl32.dll', 'ntdll.dll'}


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        assert data[pe:pe + 4] == b'PE\0\0', 'no PE signature'
        self.machine, nsections, _, _, _, optsize, self.characteristics = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from('<H', data, opt)[0]
        self.timestamp = struct.unpack_from('<I', data, pe + 8)[0]
        self.os_version = struct.unpack_from('<HH', data, opt + 40)
        self.subsystem_version = struct.unpack_from('<HH', data, opt + 48)
        self.stored_checksum = struct.unpack_from('<I', data, opt + 64)[0]
        self.subsystem = struct.unpack_from('<H', data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dirs = [struct.unpack_from('<II', data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsections):
            s = opt + optsize + 40 * i
            name = data[s:s + 8].rstrip(b'\0').decode()
            vsize, va, rawsize, rawptr = struct.unpack_from('<IIII', data, s + 8)
            self.sections.append((name, va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError('RVA %#x outside every section' % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b'\0', off)].decode()

    def imports(self):
        rva = self.dirs[1][0]
        names = []
        while True:
            entry = struct.unpack_from('<IIIII', self.data, self.offset(rva))
            if entry[3] == 0:
                return names
            names.append(self.cstring(entry[3]))
            rva += 20

    def imported_functions(self):
        """{dll in lower case: {function name, or '#ordinal'}}"""
        out = {}
        rva = self.dirs[1][0]
        while True:
            lookup, _, _, name, address = struct.unpack_from('<IIIII', self.data, self.offset(rva))
            if name == 0:
                return out
            functions = out.setdefault(self.cstring(name).lower(), set())
            thunk = lookup or address
            while True:
                entry = struct.unpack_from('<I', self.data, self.offset(thunk))[0]
                if entry == 0:
                    break
                functions.add('#%d' % (entry & 0xFFFF) if entry & 0x80000000 else self.cstring(entry + 2))
                thunk += 4
            rva += 20

    def checksum(self):
        """The PE checksum of the file, computed as the loader does for drivers."""
        field = struct.unpack_from('<I', self.data, 0x3C)[0] + 24 + 64
        data = self.data[:field] + bytes(4) + self.data[field + 4:]
        total = 0
        for (word,) in struct.iter_unpack('<H', data + bytes(len(data) % 2)):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)

    def resources(self):
        """{(type, id, lang): bytes}"""
        base = self.dirs[2][0]
        out = {}

        def walk(rva_dir, path):
            off = self.offset(base + rva_dir)
            named, ids = struct.unpack_from('<HH', self.data, off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from('<II', self.data, off + 16 + 8 * i)
                key = path + (name if not name & 0x80000000 else ('name', name),)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, key)
                else:
                    data_rva, size = struct.unpack_from('<II', self.data, self.offset(base + target))
                    o = self.offset(data_rva)
                    out[key] = self.data[o:o + size]
        walk(0, ())
        return out


def utf16z(data, off):
    end = off
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[off:end].decode('utf-16-le'), end + 2


def sz_or_ord(data, off):
    if data[off:off + 2] == b'\xff\xff':
        return struct.unpack_from('<H', data, off + 2)[0], off + 4
    return utf16z(data, off)


def align4(n):
    return (n + 3) & ~3


def parse_dialog(data):
    style, exstyle, count, x, y, cx, cy = struct.unpack_from('<IIHhhhh', data, 0)
    off = 18
    menu, off = sz_or_ord(data, off)
    cls, off = sz_or_ord(data, off)
    caption, off = utf16z(data, off)
    points = None
    face = None
    if style & 0x40:  # DS_SETFONT
        points = struct.unpack_from('<H', data, off)[0]
        face, off = utf16z(data, off + 2)
    dialog = dict(style=style, exstyle=exstyle, rect=(x, y, cx, cy), menu=menu, cls=cls,
                  caption=caption, points=points, face=face, controls=[])
    for _ in range(count):
        off = align4(off)
        cstyle, cex, x, y, cx, cy, cid = struct.unpack_from('<IIhhhhH', data, off)
        off += 18
        ccls, off = sz_or_ord(data, off)
        text, off = sz_or_ord(data, off)
        extra = struct.unpack_from('<H', data, off)[0]
        off += 2 + extra
        dialog['controls'].append((cid, ccls, text, cstyle, cex, (x, y, cx, cy), extra))
    return dialog, off


BUTTON, STATIC, LISTBOX = 0x80, 0x82, 0x83
CONTROLS = [
    (65535, STATIC, 'Choisis un niveau parmi', 0x50020001, (5, 4, 74, 9)),
    (65535, STATIC, 'les', 0x50020002, (14, 13, 8, 9)),
    (2001, STATIC, '-', 0x50020001, (24, 13, 12, 9)),
    (65535, STATIC, 'diponibles', 0x50020000, (38, 13, 32, 9)),
    (1000, LISTBOX, '', 0x50B10103, (7, 26, 70, 116)),
    (3001, BUTTON, 'Visualiseur de niveau', 0x50010003, (88, 33, 79, 9)),
    (65535, BUTTON, 'Options', 0x50000007, (85, 45, 83, 96)),
    (3000, BUTTON, 'Plein écran', 0x50010003, (90, 55, 48, 9)),
    (3003, BUTTON, 'Meilleure résolution', 0x50010003, (90, 67, 73, 9)),
    (3004, BUTTON, 'Pas de son', 0x50010003, (90, 79, 46, 9)),
    (3005, BUTTON, 'Musique sans effets', 0x50010003, (90, 91, 75, 9)),
    (3006, BUTTON, 'Pas de sang', 0x50010003, (90, 103, 52, 9)),
    (3007, BUTTON, 'Pas de mouches', 0x50010003, (90, 115, 65, 9)),
    (3008, BUTTON, 'Miroir', 0x50010003, (90, 127, 29, 9)),
    (2000, BUTTON, '&Jouer !', 0x50010001, (7, 147, 40, 14)),
    (2002, BUTTON, '&Aléatoire', 0x50010000, (55, 147, 46, 14)),
    (3002, BUTTON, "&Feux d'artifice", 0x50010000, (109, 147, 60, 14)),
    (2003, BUTTON, 'À propos...', 0x50010000, (102, 6, 50, 14)),
]


def parse_version_node(data, off):
    length, vlen, vtype = struct.unpack_from('<HHH', data, off)
    key, p = utf16z(data, off + 6)
    p = align4(p)
    if vtype == 1:
        value = data[p:p + 2 * vlen].decode('utf-16-le').rstrip('\0')
        p += 2 * vlen
    else:
        value = data[p:p + vlen]
        p += vlen
    children = []
    p = align4(p)
    end = off + length
    while p < end:
        child, p = parse_version_node(data, p)
        children.append(child)
        p = align4(p)
    return (key, value, children), off + length


# The oldest Windows the release starts on (README, docs/LISEZMOI.txt), and
# every function of its system DLLs that the programs may import, each known
# to exist there. The loader refuses a whole program if one import is missing:
# the POSIX thread runtime alone once brought GetTickCount64 (Vista); see
# src/platform/windows/tick_count64.cpp. AddVectoredExceptionHandler, which
# that runtime imports too, is why Windows 2000 is out.
OLDEST_WINDOWS = ('Windows XP', (5, 1))
OLDEST_WINDOWS_IMPORTS = {
    'kernel32.dll': set("""
        CreateFileA SetFileAttributesA
        AddVectoredExceptionHandler CloseHandle CreateEventA CreateSemaphoreA DeleteCriticalSection DuplicateHandle
        EnterCriticalSection FindClose FindFirstFileA FindFirstFileW FindNextFileA FindNextFileW FreeLibrary GetCurrentProcess GetCurrentProcessId
        GetACP GetConsoleMode GetConsoleProcessList GetCurrentThread GetCurrentThreadId GetFileAttributesA GetFileSize GetFullPathNameA GetHandleInformation GetLastError
        GetModuleHandleA GetModuleHandleW GetProcAddress GetProcessAffinityMask GetStartupInfoA GetStartupInfoW GetStdHandle
        GetSystemTimeAsFileTime GetThreadContext GetThreadPriority GetTickCount GlobalAlloc GlobalFree GlobalLock
        GlobalSize GlobalUnlock InitializeCriticalSection IsDBCSLeadByteEx IsDebuggerPresent LeaveCriticalSection
        LoadLibraryA LoadLibraryW MoveFileExA MultiByteToWideChar OpenFile OpenProcess OutputDebugStringA QueryPerformanceCounter
        RaiseException ReadFile ReleaseSemaphore RemoveVectoredExceptionHandler ResetEvent ResumeThread SetEvent
        SetLastError SetProcessAffinityMask SetThreadContext SetThreadPriority SetUnhandledExceptionFilter Sleep
        SuspendThread TlsAlloc TlsFree TlsGetValue TlsSetValue TryEnterCriticalSection VirtualProtect VirtualQuery
        WaitForMultipleObjects WaitForSingleObject WideCharToMultiByte WriteConsoleW WriteFile _hread _lclose _lcreat _llseek _lopen
        _lread _lwrite lstrcatA lstrcmpA lstrcmpiA lstrcpyA lstrcpynA lstrlenA""".split()),
    'msvcrt.dll': set("""
        __getmainargs __initenv __wgetmainargs __winitenv _wcmdln __p__wcmdln __mb_cur_max __p__acmdln __p__commode __p__environ __p__fmode __set_app_type
        __setusermatherr _amsg_exit _beginthreadex _cexit _close _commit _endthreadex _errno _fileno _initterm _iob _lock
        _get_osfhandle _getch _mkdir _onexit _open _read _rmdir _setjmp3 _stat _setmode _strdup _stricmp _ultoa _unlock _write abort atoi bsearch calloc exit fclose
        ferror fflush fgetc fgets fopen fprintf fputc fputs fread free fseek ftell fwrite getc getenv isspace
        localeconv longjmp malloc memchr memcmp memcpy memmove memset printf putc putchar puts qsort rand realloc
        remove setlocale setvbuf signal sprintf srand strcat strchr strcmp strcpy strcspn strerror strlen strncmp strncpy
        strrchr strstr strtol strtoul time tolower toupper vfprintf wcscmp wcslen""".split()),
    'user32.dll': set("""
        BeginPaint DialogBoxParamA EndDialog EndPaint GetClientRect GetDC GetDlgItem GetWindowRect InvalidateRect
        CharUpperBuffW LoadIconA MessageBoxA PostMessageA PostQuitMessage RedrawWindow ReleaseDC SendDlgItemMessageA SendMessageA
        SetDlgItemInt SetWindowPos MapDialogRect""".split()),
    'gdi32.dll': set("""
        BitBlt CreateCompatibleDC CreateDIBitmap DeleteDC DeleteObject GetDeviceCaps GetObjectA
        SelectObject""".split()),
    'shell32.dll': {'ShellExecuteA'},
}


class OldestWindowsTest(unittest.TestCase):
    """What lets the release start on OLDEST_WINDOWS, and makes its files
    the same on every build of one commit."""

    @classmethod
    def setUpClass(cls):
        with open(EXE, 'rb') as f:
            cls.pe = PeFile(f.read())

    def test_imports_exist_on_the_oldest_windows(self):
        for dll, functions in sorted(self.pe.imported_functions().items()):
            self.assertIn(dll, OLDEST_WINDOWS_IMPORTS)
            newer = functions - OLDEST_WINDOWS_IMPORTS[dll]
            self.assertFalse(newer, '%s: %s not known on %s' % (dll, sorted(newer), OLDEST_WINDOWS[0]))

    def test_header_asks_no_newer_windows(self):
        self.assertLessEqual(self.pe.os_version, OLDEST_WINDOWS[1])
        self.assertLessEqual(self.pe.subsystem_version, OLDEST_WINDOWS[1])

    def test_no_time_stamp_and_a_true_checksum(self):
        self.assertEqual(self.pe.timestamp, 0, 'the link time would make every build differ')
        self.assertEqual(self.pe.stored_checksum, self.pe.checksum())


class ProductTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(EXE, 'rb') as f:
            cls.pe = PeFile(f.read())
        cls.res = cls.pe.resources()

    def test_pe32_i386_gui(self):
        self.assertEqual(self.pe.machine, 0x14C)
        self.assertEqual(self.pe.magic, 0x10B)
        self.assertEqual(self.pe.subsystem, 2)

    def test_imports_only_system_dlls(self):
        dlls = {d.lower() for d in self.pe.imports()}
        self.assertIn('user32.dll', dlls)
        self.assertTrue(dlls <= SYSTEM_DLLS, 'unexpected DLLs: %s' % sorted(dlls - SYSTEM_DLLS))

    def test_exactly_the_four_resources_in_us_english(self):
        keys = {(t, i, l) for (t, i, l) in self.res}
        self.assertEqual(keys, {(RT_DIALOG, 101, LANG_EN_US), (RT_ICON, 1, LANG_EN_US),
                                (RT_GROUP_ICON, 1, LANG_EN_US), (RT_VERSION, 1, LANG_EN_US),
                                (RT_MANIFEST, 1, LANG_EN_US)})

    def test_dialog_template(self):
        data = self.res[(RT_DIALOG, 101, LANG_EN_US)]
        self.assertEqual(len(data), 984)
        dlg, end = parse_dialog(data)
        self.assertEqual(end, len(data), 'nothing after the last control')
        self.assertEqual(dlg['style'], 0x80C808C0)
        self.assertEqual(dlg['exstyle'], 0)
        self.assertEqual(dlg['rect'], (0, 0, 175, 166))
        self.assertEqual((dlg['menu'], dlg['cls']), ('', ''))
        self.assertEqual(dlg['caption'], 'Vorbel Level Manager')
        self.assertEqual((dlg['points'], dlg['face']), (8, 'MS Sans Serif'))
        got = [(cid, cls, text, style, rect) for (cid, cls, text, style, _, rect, _) in dlg['controls']]
        self.assertEqual(got, CONTROLS)
        for control in dlg['controls']:
            self.assertEqual((control[4], control[6]), (0, 0), 'extended style and creation data')

    def test_icon(self):
        group = self.res[(RT_GROUP_ICON, 1, LANG_EN_US)]
        self.assertEqual(struct.unpack_from('<HHH', group, 0), (0, 1, 1))
        w, h, colours, _, planes, bits, size, icon_id = struct.unpack_from('<BBBBHHIH', group, 6)
        self.assertEqual((w, h, colours, planes, bits, size, icon_id), (32, 32, 16, 1, 4, 744, 1))
        image = self.res[(RT_ICON, 1, LANG_EN_US)]
        self.assertEqual(len(image), 744)
        hdr = struct.unpack_from('<IiiHH', image, 0)
        self.assertEqual(hdr, (40, 32, 64, 1, 4))
        vga = [(0, 0, 0), (0x80, 0, 0), (0, 0x80, 0), (0x80, 0x80, 0), (0, 0, 0x80), (0x80, 0, 0x80),
               (0, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80), (0xFF, 0, 0), (0, 0xFF, 0),
               (0xFF, 0xFF, 0), (0, 0, 0xFF), (0xFF, 0, 0xFF), (0, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF)]
        palette = [tuple(image[40 + 4 * i + k] for k in (2, 1, 0)) for i in range(16)]
        self.assertEqual(palette, vga)
        mask = image[40 + 64 + 512:]
        self.assertTrue(any(b != 0xFF for b in mask) and any(b != 0 for b in mask), 'a shape on a transparent ground')

    def test_version_record(self):
        root, _ = parse_version_node(self.res[(RT_VERSION, 1, LANG_EN_US)], 0)
        key, fixed, children = root
        self.assertEqual(key, 'VS_VERSION_INFO')
        sig, _, fv_ms, fv_ls, pv_ms, pv_ls, mask, flags, os_, ftype, sub, d1, d2 = struct.unpack('<13I', fixed)
        self.assertEqual(sig, 0xFEEF04BD)
        self.assertEqual((fv_ms, fv_ls, pv_ms, pv_ls), (0x00010000, 0x00010001, 0x00010000, 0x00010001))
        self.assertEqual((mask, flags, os_, ftype, sub, d1, d2), (0, 0, 0, 1, 0, 0, 0))
        sfi = dict((c[0], c) for c in children)
        tables = sfi['StringFileInfo'][2]
        self.assertEqual([t[0] for t in tables], ['040C04E4'])
        strings = [(k, v) for (k, v, _) in tables[0][2]]
        self.assertEqual([k for k, _ in strings],
                         ['CompanyName', 'FileVersion', 'FileDescription', 'InternalName', 'LegalCopyright',
                          'LegalTrademarks', 'OriginalFilename', 'ProductName', 'ProductVersion'])
        values = dict(strings)
        for k in ('CompanyName', 'InternalName', 'LegalCopyright', 'LegalTrademarks', 'OriginalFilename'):
            self.assertEqual(values[k], '', k)
        self.assertEqual((values['FileVersion'], values['ProductName'], values['ProductVersion']), (VERSION, 'vblLM', VERSION))
        self.assertIn('Vorbel', values['FileDescription'])
        self.assertIn('@', values['FileDescription'])
        translation = sfi['VarFileInfo'][2][0]
        self.assertEqual(translation[0], 'Translation')
        self.assertEqual(struct.unpack('<HH', translation[1]), (0x040C, 1252))

    def test_manifest(self):
        text = self.res[(RT_MANIFEST, 1, LANG_EN_US)]
        self.assertIn(b'standalone="yes"', text.split(b'?>')[0])
        ns = '{urn:schemas-microsoft-com:asm.v1}'
        root = ET.fromstring(text)
        self.assertEqual(root.tag, ns + 'assembly')
        self.assertEqual(root.get('manifestVersion'), '1.0')
        own = root.find(ns + 'assemblyIdentity')
        self.assertEqual((own.get('processorArchitecture'), own.get('version'), own.get('type')), ('x86', '1.0.0.0', 'win32'))
        self.assertIn('.', own.get('name'))
        self.assertEqual(root.find(ns + 'description').text, 'vblLM')
        deps = root.findall(ns + 'dependency/' + ns + 'dependentAssembly/' + ns + 'assemblyIdentity')
        self.assertEqual(len(deps), 1)
        self.assertEqual(dict(deps[0].attrib), {
            'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls', 'version': '6.0.0.0',
            'processorArchitecture': 'x86', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'})


if __name__ == '__main__':
    unittest.main(verbosity=1)
