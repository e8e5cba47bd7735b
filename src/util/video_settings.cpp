#include "util/video_settings.h"

VideoSettings videoSettings;
