#pragma once
// The cover templates that come with the program (each ".fct" with its ".bmp" picture
// and ".des" description), and putting them into a data folder's "Covers/".

#include <filesystem>
#include <string>
#include <vector>

namespace ql {

// The file names of the shipped templates and their companions, by name.
std::vector<std::string> ShippedCoverFiles();

// Copies every shipped file that "Covers/" lacks (in any case) into it, making the folder
// when missing; files already there, changed or not, are left alone. Each file is copied
// whole or not at all. Returns the number of files copied.
int InstallShippedCovers(const std::filesystem::path& coversFolder);

}  // namespace ql
