#include "app/HelpTopics.h"

#include "resources/resource.h"

namespace app {

std::vector<std::string> HelpTopicsFor(int id, bool menuItem, bool splitMode) {
    const std::string file = kHelpFile;
    if (menuItem) {
        std::vector<std::string> topics{file};
        if (id == ID_GENERAL_SETTINGS) topics.push_back(file + "::/Setting up options.htm");
        if (id == ID_HELP_CONTENTS) topics.push_back(file);
        return topics;
    }
    switch (id) {
        case IDC_SPLIT_MODE: return {file + " ::/Splitting a file.htm"};
        case IDC_REJOIN_MODE: return {file + " ::/Joining split files.htm"};
        case IDC_START:
            return {splitMode ? file + "::/Splitting a file.htm" : file + "::/Joining split files.htm"};
        default: return {file};
    }
}

}  // namespace app
