// Step images as servers send them to agents: object streams holding one
// step with a chosen ID.
#ifndef TESTS_AGENT_STEP_IMAGES_H
#define TESTS_AGENT_STEP_IMAGES_H

#include <model/object_stream.h>
#include <model/steps.h>

#include <string>
#include <vector>

// The bytes of an image holding `step` (NULL: an image without a step).
inline std::vector<BYTE> StepImage(CPProcessBase* step)
{
    CNeoLock lock;
    CNeoMemLocation location;
    CNeoDatabase image;
    image.setLocation(&location);
    ResetImage(&image);
    if (step)
        image.addObject(step, TRUE, NULL);
    unsigned long length = 0;
    const BYTE* bytes = GetImageBytes(&image, &length);
    std::vector<BYTE> copy(bytes, bytes + length);
    if (step)
        image.removeObject(step, TRUE);
    image.close(FALSE);
    return copy;
}

// A script step without a script: the agent completes it at once, which
// makes it the quickest step to return.
inline CPProcessScript* NewScriptStep(NeoID id, const char* name)
{
    CPProcessScript* step = static_cast<CPProcessScript*>(CPProcessScript::Create());
    step->setID(id);
    step->SetName(name);
    return step;
}

#endif
