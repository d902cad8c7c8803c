#include "printers/driver_table.h"

#include "printers/printer_cpcl_model.h"
#include "printers/printer_escpos_model.h"
#include "printers/printer_paperang_model.h"
#include "printers/printer_peripage_model.h"
#include "printers/printer_tspl_model.h"

std::span<const tagPrinterModel *const> AllModels()
{
    static const tagPrinterModel *const models[] = {
        &TsplModel(), &EscPosModel(), &CpclModel(), &PaperangModel(), &PeriPageModel(),
    };
    return models;
}

const tagPrinterModel *FindModel(int modelNumber)
{
    for (const tagPrinterModel *model : AllModels())
        if (model->modelNumber == modelNumber)
            return model;
    return nullptr;
}

std::vector<const tagDriverInfo *> AllDrivers()
{
    std::vector<const tagDriverInfo *> drivers;
    for (const tagPrinterModel *model : AllModels())
        for (const tagDriverInfo &driver : model->drivers)
            drivers.push_back(&driver);
    return drivers;
}

const tagDriverInfo *FindDriver(std::string_view name)
{
    for (const tagPrinterModel *model : AllModels())
        for (const tagDriverInfo &driver : model->drivers)
            if (name == driver.name)
                return &driver;
    return nullptr;
}
