// What vbltool's sub-commands share about files, one header per concern.
#pragma once

#include "bmp_file.h"
#include "file_replace.h"
#include "scratch_files.h"
#include "tool_input.h"
#include "tool_output.h"
#include "tool_paths.h"
