#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "gorvane-cat-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Writes Content to the relative Name (folders created) and returns the full name.
    std::string Write(const std::string& Name, const std::string& Content) const {
        std::filesystem::path p = FPath / Name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << Content;
        return p.string();
    }

private:
    std::filesystem::path FPath;
};
