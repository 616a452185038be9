// ReplaceFileAtomically on Win32: a temporary file in the target's folder, written and flushed,
// then moved over the target with MoveFileExW (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
// since a plain rename does not replace an existing file there.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/win32_text.h"

namespace tarnwick::platform {
namespace {

std::string Reason(const std::string& path, const char* what, DWORD code) {
    return path + ": " + what + ": " + win32::SystemMessage(code);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

}  // namespace

ReplaceResult ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::wstring folder = win32::WideFromUtf8(FolderOf(path));
    // "C:" alone names the drive's current folder; the file's folder is the drive's root.
    if (folder.empty() || folder.back() == L':') folder += L'\\';
    std::vector<wchar_t> temp(MAX_PATH + 1, L'\0');
    if (::GetTempFileNameW(folder.c_str(), L"twk", 0, temp.data()) == 0) {
        return {false, Reason(path, "cannot create a temporary file", ::GetLastError())};
    }
    const std::wstring tempPath(temp.data());
    auto fail = [&](const char* what, HANDLE file) {
        const DWORD code = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        ::DeleteFileW(tempPath.c_str());
        return ReplaceResult{false, Reason(path, what, code)};
    };

    HANDLE file = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("cannot create a temporary file", file);
    if (!WriteAll(file, bytes)) return fail("cannot write", file);
    if (!::FlushFileBuffers(file)) return fail("cannot write", file);
    if (!::CloseHandle(file)) return fail("cannot write", INVALID_HANDLE_VALUE);
    if (!::MoveFileExW(tempPath.c_str(), win32::WideFromUtf8(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail("cannot replace the file", INVALID_HANDLE_VALUE);
    }
    return {};
}

}  // namespace tarnwick::platform
