#pragma once
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestBytes.h"


// A temporary folder whose name holds a space and a non-ASCII letter, so
// every load also shows that such paths open.
struct STempFolder {
    std::filesystem::path Path;
    STempFolder()
    {
        std::random_device ARandom;
        const std::string strName = "images test \xC3\xBC-" + std::to_string(ARandom());
        Path = std::filesystem::temp_directory_path() / std::filesystem::path(std::u8string(strName.begin(), strName.end()));
        std::filesystem::create_directory(Path);
    }
    ~STempFolder() { std::filesystem::remove_all(Path); }
    std::filesystem::path Write(const std::string& strName, const auto& Contents) const
    {
        std::ofstream(Path / strName, std::ios::binary).write(reinterpret_cast<const char*>(Contents.data()),
                                                              static_cast<std::streamsize>(Contents.size()));
        return Path / strName;
    }
};
