#include "engine/FileExtraction.h"

bool SaveFile(const CommandItems&, PackedData&, bool) { return false; }
bool WriteWholeFile(const ByteString&, std::string_view) { return false; }
