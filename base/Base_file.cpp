#include "base/Base_file.h"

#include <algorithm>

#ifndef _WIN32
#include <cstdio>
#include <fstream>
#endif

namespace Base_file {

#ifdef _WIN32

namespace {

// The path as the wide calls take it, converted from the process code page.
std::wstring WidePath(const std::string& Path) {
    if (Path.empty())
        return std::wstring();
    const int Size = static_cast<int>(Path.size());
    const int Length = MultiByteToWideChar(CP_ACP, 0, Path.data(), Size, nullptr, 0);
    std::wstring Wide(static_cast<std::size_t>(std::max(Length, 0)), L'\0');
    if (Length > 0)
        MultiByteToWideChar(CP_ACP, 0, Path.data(), Size, &Wide[0], Length);
    return Wide;
}

// Large files go in pieces that a DWORD can count.
const std::size_t Piece = 1 << 24;

} // namespace

bool ReadWholeFile(const std::string& Path, std::string& Bytes, TSharing Sharing,
                   std::uint64_t MaxBytes) {
    const DWORD Share = Sharing == TSharing::shReaders
                            ? FILE_SHARE_READ
                            : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    THandle File(CreateFileW(WidePath(Path).c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER Size;
    if (!File.Valid() || !GetFileSizeEx(File.Get(), &Size) ||
        static_cast<std::uint64_t>(Size.QuadPart) > MaxBytes)
        return false;
    Bytes.resize(static_cast<std::size_t>(Size.QuadPart));
    for (std::size_t Done = 0; Done < Bytes.size();) {
        DWORD Read = 0;
        const DWORD Chunk = static_cast<DWORD>(std::min(Bytes.size() - Done, Piece));
        if (!ReadFile(File.Get(), &Bytes[Done], Chunk, &Read, nullptr) || Read == 0)
            return false;
        Done += Read;
    }
    return true;
}

bool WriteFileAtomically(const std::string& Target, const std::string& NewPath,
                         const std::string& Bytes, bool Hidden) {
    const std::wstring New = WidePath(NewPath);
    THandle File(CreateFileW(New.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             Hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File.Valid())
        return false;
    bool Complete = true;
    for (std::size_t Done = 0; Complete && Done < Bytes.size();) {
        DWORD Written = 0;
        const DWORD Chunk = static_cast<DWORD>(std::min(Bytes.size() - Done, Piece));
        Complete = WriteFile(File.Get(), Bytes.data() + Done, Chunk, &Written, nullptr) &&
                   Written == Chunk;
        Done += Written;
    }
    Complete = FlushFileBuffers(File.Get()) && Complete;
    if (File.Close() && Complete &&
        MoveFileExW(New.c_str(), WidePath(Target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(New.c_str());
    return false;
}

#else

bool ReadWholeFile(const std::string& Path, std::string& Bytes, TSharing, std::uint64_t MaxBytes) {
    std::ifstream File(Path, std::ios::binary);
    if (!File)
        return false;
    Bytes.clear();
    char Buffer[65536];
    while (File.read(Buffer, sizeof Buffer) || File.gcount() > 0) {
        Bytes.append(Buffer, static_cast<std::size_t>(File.gcount()));
        if (Bytes.size() > MaxBytes)
            return false;
    }
    // A directory opens, but reading it fails: that is no empty file.
    return !File.bad();
}

bool WriteFileAtomically(const std::string& Target, const std::string& NewPath,
                         const std::string& Bytes, bool) {
    std::FILE* File = std::fopen(NewPath.c_str(), "wb");
    if (!File)
        return false;
    const bool Complete =
        std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size() && std::fflush(File) == 0;
    if (std::fclose(File) == 0 && Complete && std::rename(NewPath.c_str(), Target.c_str()) == 0)
        return true;
    std::remove(NewPath.c_str());
    return false;
}

#endif

} // namespace Base_file
