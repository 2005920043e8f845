#include "filesizecap.h"

// Windows has no per-process file size limit.
FileSizeCap::FileSizeCap(quint64) {}

FileSizeCap::~FileSizeCap() = default;
