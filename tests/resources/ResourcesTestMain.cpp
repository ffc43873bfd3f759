// The resources test program: its cases live in the other files of this folder.
