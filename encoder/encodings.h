#pragma once

#include "encoder/byte_streams.h"

#include <optional>
#include <string>
#include <string_view>

namespace zp {

// The file routines of the three encodings and of compression. Each opens its input, creates or
// truncates its output and returns false when that fails or the routine itself fails. The
// observer, when given, follows the reading of the input.
bool EncodeBase64File(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool DecodeBase64File(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool EncodeUuFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool DecodeUuFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool EncodeQuotedFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool DecodeQuotedFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
// A failed compression or expansion leaves no output file.
bool CompressFileData(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});
bool ExpandFileData(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer = {});

// The same routines over open streams (the file routines' cores).
bool EncodeBase64Stream(FileReader& in, FileWriter& out);
bool DecodeBase64Stream(FileReader& in, FileWriter& out);
bool EncodeUuStream(FileReader& in, FileWriter& out, std::string_view fileName);
bool DecodeUuStream(FileReader& in, FileWriter& out);
bool EncodeQuotedStream(FileReader& in, FileWriter& out);
bool DecodeQuotedStream(FileReader& in, FileWriter& out);
bool CompressStream(FileReader& in, FileWriter& out);
bool ExpandStream(FileReader& in, FileWriter& out);

// Base64 of a memory buffer, without line breaks (the text properties).
std::string EncodeBase64Buffer(std::string_view bytes);
// Empty when the text is empty or is not base64 (same rules as the file decoder).
std::optional<std::string> DecodeBase64Buffer(std::string_view text);

} // namespace zp
