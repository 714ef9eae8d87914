// Unit qzlogfile: the log file component.
#pragma once

#include "qzlogfile/log_file.h"
#include "qzlogfile/log_options.h"
