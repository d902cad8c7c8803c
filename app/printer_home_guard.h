#pragma once

#include <pappl/pappl.h>

// Puts a login in front of the buttons of a printer's web page.
// Call from the printer creation callback: PAPPL adds its own page after it
// and then keeps this one.
void GuardPrinterHomePage(pappl_printer_t *printer);
