// The editor page of each operation kind, registered with the engine's page
// factory under the kind's registry section, and the crop-preset editor
// installed as the engine's preset editor. Called once at start-up.
#pragma once

void RegisterOperationPages();
