// The conversion engine's public header: the batch run, the file pipeline,
// its stages, path names and the file list.
#pragma once

#include "conversion/convert_file.h"
#include "conversion/file_list.h"
#include "conversion/html_stage.h"
#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"
#include "conversion/messages.h"
#include "conversion/path_names.h"
#include "conversion/run_conversion.h"
#include "conversion/run_plan.h"
#include "conversion/source_file.h"
