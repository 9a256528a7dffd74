// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace testsupport {

// A fresh, empty folder of the test's own under the system's temporary folder
// ($TMPDIR, else /tmp; on Windows the user's temporary folder), named
// <prefix>-<random>, readable by its owner only. It goes with everything in
// it when the object goes; a test that mounts file systems below it unmounts
// them first. Throws std::runtime_error when no folder can be made.
class TempFolder
{
public:
    explicit TempFolder(std::string_view prefix = "velmora-test")
    {
        namespace fs = std::filesystem;
        const fs::path parent = fs::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = parent
                / (std::string(prefix) + "-" + std::to_string(random() % 1000000000));
            std::error_code error;
            // create_directory answers false, without an error, when the
            // name is taken: then another name is tried.
            if (fs::create_directory(candidate, error)) {
                fs::permissions(candidate, fs::perms::owner_all, error);
                FFolder = candidate;
                FPath = candidate.string();
                return;
            }
            if (error)
                throw std::runtime_error("cannot make a folder in " + parent.string() + ": " + error.message());
        }
        throw std::runtime_error("no free folder name in " + parent.string());
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &Path() const { return FPath; }
    // The path of a file or folder in it (nothing is made).
    std::string File(std::string_view name) const { return (FFolder / name).string(); }
    // The same as a path of the system's own kind (wide strings on Windows).
    const std::filesystem::path &Folder() const { return FFolder; }

private:
    std::filesystem::path FFolder;
    std::string FPath;
};

} // namespace testsupport
