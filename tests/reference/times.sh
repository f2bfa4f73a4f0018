# The moments of the sample demo kept as reference pictures: one or two in
# every scene, small enough to keep the pictures small.
REFERENCE_SIZE=200x150
REFERENCE_TIMES=1000,7500,20000,36000,50000
