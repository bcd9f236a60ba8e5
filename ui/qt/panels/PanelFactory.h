#pragma once

#include "panels/PanelForm.h"

#include <memory>

// The panel form of a layout; the one place that knows which class draws which layout.
std::unique_ptr<PanelForm> createPanelForm(PanelLayout layout, PanelHost& host);
