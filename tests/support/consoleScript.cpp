#include "consoleScript.h"

consoleScript::consoleScript()
{
    setViewConsole(this);
}

consoleScript::~consoleScript()
{
    setViewConsole(nullptr);
}

std::vector<std::string> consoleScript::fresh()
{
    std::vector<std::string> out(output.begin() + std::ptrdiff_t(taken_), output.end());
    taken_ = output.size();
    return out;
}

bool consoleScript::open(const std::vector<std::string>& h, const std::vector<std::string>& l, int)
{
    if (refuseOpen)
        return false;
    header = h;
    labels = l;
    shown = true;
    return true;
}

void consoleScript::highlight(int32u mask)
{
    lit = mask;
}

void consoleScript::relabel(const std::vector<std::string>& l)
{
    labels = l;
}

void consoleScript::put(const std::string& text, int colour)
{
    output.push_back(text);
    colours.push_back(colour);
}

std::string consoleScript::get(const std::string& prompt, std::size_t maxChars)
{
    prompts.push_back(prompt);
    if (lines.empty())
        return {};
    std::string l = lines.front();
    lines.pop_front();
    return l.substr(0, maxChars);
}

void consoleScript::hide()
{
    hidden = true;
    ++hides;
}

void consoleScript::show()
{
    hidden = false;
}

void consoleScript::close()
{
    shown = false;
}
