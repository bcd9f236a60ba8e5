#pragma once

// How reading the options went; also the reason the preferences dialog is opened with.
enum LoadResult { Loaded = 0, BadDeviceType = 1, FirstStart = 2 };
