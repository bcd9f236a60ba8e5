#pragma once

// How reading the options went; also the reason the preferences dialog is opened with. BadId: the
// device type is known but the stored ID names no recorder, so nothing may be sent yet.
enum LoadResult { Loaded = 0, BadDeviceType = 1, FirstStart = 2, BadId = 3 };
