#!/bin/sh
# The main job. Once the server and the agent exist it starts them and runs a
# sample batch end to end; until then it says so.
echo "Vantorel demo: the libraries are built."
echo "When zqserver and zqagent exist, this starts both under Wine, stores a"
echo "sample batch and follows its run to the end."
