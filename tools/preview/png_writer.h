#pragma once

#include "preview/preview_page.h"

#include <string>

// Writes the page as a one-bit grey PNG, one pixel per dot, black dots
// black. False with problem set when the file cannot be written.
bool WritePagePng(const std::string &path, const PreviewPage &page, std::string &problem);

// The same PNG in memory, for pages served by the printer application.
bool EncodePagePng(const PreviewPage &page, std::string &png, std::string &problem);
