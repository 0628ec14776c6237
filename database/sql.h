#pragma once

// The SQL texts of the program, verbatim. Numbers are appended as their decimal text.
namespace zp::sql {

inline constexpr const char* SelectConfig = "SELECT * FROM [MainConfig]";
inline constexpr const char* SelectHackInfo = "SELECT * FROM [HackInfo] ORDER by [Name]";
inline constexpr const char* SelectHackInfoOf = "SELECT * FROM [HackInfo] WHERE [HackNum] = ";
inline constexpr const char* SelectHackDataOf = "SELECT * FROM [HackData] WHERE [HackNum] = ";
inline constexpr const char* OrderByModOrder = " ORDER by [ModOrder]";
inline constexpr const char* OrderByFileNameModOrder = " ORDER by [Filename], [ModOrder]";
inline constexpr const char* OrderByFileNameUpper = " ORDER BY [Filename]";
inline constexpr const char* SelectHackFilesOf = "SELECT * FROM [HackFiles] WHERE [HackNum] = ";
inline constexpr const char* OrderByFileName = " ORDER by [FileName]";
inline constexpr const char* SelectHackData = "SELECT * FROM [HackData]";
inline constexpr const char* DeleteHackFilesOf = "DELETE FROM [HackFiles] WHERE [HackNum] = ";
inline constexpr const char* DeleteHackDataOf = "DELETE FROM [HackData] WHERE [HackNum] = ";

} // namespace zp::sql
