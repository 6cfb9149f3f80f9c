// ScriptEngineMap: which script step an engine handle belongs to, for the
// engine's call-backs. Agent and console both carry it.
//
// Lock rule: one process-wide lock held for each whole access; it is taken
// after gNeoCritical and nothing else is taken under it.
#ifndef AGENT_SCRIPT_ENGINE_MAP_H
#define AGENT_SCRIPT_ENGINE_MAP_H

#include <enable40/enable40.h>

class CPProcessScript;

class ScriptEngineMap
{
public:
    static void Add(EngineHandle engine, CPProcessScript* step);
    static void Remove(EngineHandle engine);
    // The step of an engine, or NULL.
    static CPProcessScript* Find(EngineHandle engine);
};

#endif
