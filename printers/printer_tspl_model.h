#pragma once

#include "printers/printer_model.h"

const tagPrinterModel &TsplModel();
