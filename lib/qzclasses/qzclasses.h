// Umbrella header of the qzclasses unit.
#pragma once

#include "qzclasses/base_io.h"
#include "qzclasses/component.h"
#include "qzclasses/custom_log_file.h"
#include "qzclasses/device.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/edit_control.h"
#include "qzclasses/errors.h"
#include "qzclasses/format.h"
#include "qzclasses/headless_dispatcher.h"
#include "qzclasses/message.h"
#include "qzclasses/method.h"
#include "qzclasses/notify_list.h"
#include "qzclasses/text.h"
#include "qzclasses/thread_io.h"
#include "qzclasses/timer.h"
#include "qzclasses/types.h"
