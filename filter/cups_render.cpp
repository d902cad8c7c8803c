#include "filter/cups_render.h"

namespace {

// The PPD's marked choices as the settings reader asks for them.
template <class T>
class CMarkedChoices : public ISettingsSource {
public:
    explicit CMarkedChoices(CCupsRender<T> &render) : render(render) {}
    std::string Choice(const char *keyword) override { return render.GetMarkedOption(keyword); }

private:
    CCupsRender<T> &render;
};

}  // namespace

template <class T>
std::string CCupsRender<T>::GetMarkedOption(const char *keyword)
{
    ppd_choice_t *choice = ppd != nullptr ? ppdFindMarkedChoice(ppd, keyword) : nullptr;
    if (choice == nullptr) {
        this->AddLog("GetMarkedOption: %s is error", keyword);
        return std::string();
    }
    const ppd_option_t *option = choice->option;
    this->AddLog("%s: marked=%d, choice: %s, text: %s, code: %s, \t\t\tconflicted=%d, keyword: %s, defchoice: %s, "
                 "option->text: %s, option->num_choices: %d",
                 keyword, choice->marked, choice->choice, choice->text, choice->code != nullptr ? choice->code : "(null)",
                 option != nullptr ? option->conflicted : 0, option != nullptr ? option->keyword : "(null)",
                 option != nullptr ? option->defchoice : "(null)", option != nullptr ? option->text : "(null)",
                 option != nullptr ? option->num_choices : 0);
    return std::string(choice->choice);
}

template <class T>
void CCupsRender<T>::GetPrinterParameters()
{
    this->AddLog("CCupsRender::GetPrinterParameters");
    CMarkedChoices<T> choices(*this);
    this->ReadSettings(choices);
}

template class CCupsRender<CPrinterTSPL>;
template class CCupsRender<CPrinterESCPOS>;
template class CCupsRender<CPrinterCPCL>;
template class CCupsRender<CPrinterPaperang>;
template class CCupsRender<CPrinterPeriPage>;
