#include "mysql/components/login_prompt.h"

namespace {
TMySQLLoginPrompt* g_prompt = nullptr;
}

TMySQLLoginPrompt* CurrentLoginPrompt() { return g_prompt; }
void SetLoginPrompt(TMySQLLoginPrompt* prompt) { g_prompt = prompt; }
