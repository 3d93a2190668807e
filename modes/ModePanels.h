// The mode panels, one file pair each: the common part in ModePanel.h.
#pragma once

#include "ModePanel.h"
#include "PanelColor.h"
#include "PanelCopyPaste.h"
#include "PanelCrop.h"
#include "PanelReconstruct.h"
#include "PanelRedEye.h"
#include "PanelResize.h"
#include "PanelText.h"
