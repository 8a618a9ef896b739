// Real files in a fresh temporary folder for the workflow tests.
#pragma once

#include "temp_folder.h"
