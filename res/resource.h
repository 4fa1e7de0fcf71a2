#pragma once
#define IDI_KORVEN 1
