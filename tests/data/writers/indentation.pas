a
...bc
......d

e
